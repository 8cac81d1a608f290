#pragma once

#include "driver/run_state.h"

// Runs the probes on one picked mailbox whose four properties the driver
// has checked, printing their lines.
void TestMailbox(RunState& state, const SPropValue* row);

// Runs the tool as its entry point does; returns the process exit code.
int RunCaldrose(int argc, char** argv);
