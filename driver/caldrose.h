#pragma once

// Runs the tool as its entry point does; returns the process exit code.
int RunCaldrose(int argc, char** argv);
