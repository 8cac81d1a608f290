// Running the tool, or parts of it, in this process on the emulated
// platform.
#pragma once

#include <string>
#include <vector>

// The organisation most tests start from: one operator with two stores.
std::string OperatorOrganisationText();

// Runs the whole tool with args on organisation, answering its dialogs
// with answers; returns what it printed. The emulation keeps its ledger and
// trace of the run until the next reset.
std::string RunInProcess(const std::string& organisation, const char* answers,
                         const std::vector<std::string>& args = {});

// Brings MAPI up on organisation, for tests of single operations.
void StartEmulatedPlatform(const std::string& organisation);
// Shuts MAPI down, checks that the ledger is empty and without violations,
// and resets the emulation for the next test.
void StopEmulatedPlatform();
