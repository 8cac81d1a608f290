// What tests and the emulation itself need of the emulated Win32 process
// side beyond the platform's own functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace emulation {

// Splits a command line into arguments as the platform's C runtime does
// for main(): the program name first (double quotes group, backslashes are
// plain), then each argument, where 2n backslashes before a double quote
// give n backslashes and the quote opens or closes a quoted part, 2n+1 give
// n backslashes and a literal quote, "" inside a quoted part gives a
// literal quote, and other backslashes are plain.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Children started by CreateProcessA that are still running; those that
// have ended are reaped on the way.
std::vector<int> RunningChildProcesses();

// Waits up to milliseconds (real time) for every child to end, reaping
// each; true when none is left running.
bool AwaitChildProcesses(unsigned milliseconds);

}  // namespace emulation
