#include "driver/caldrose.h"

int main(int argc, char** argv) { return RunCaldrose(argc, argv); }
