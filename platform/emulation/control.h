// How tests and the tool's host steer the emulated platform.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/runtime/ledger.h"

namespace emulation {

// Serve this organisation (JSON text, named sourceName in messages) at the
// next MAPIInitialize instead of the file named by CALDROSE_ORGANISATION or
// the built-in sample. An empty text goes back to those.
void UseOrganisationText(std::string text, std::string sourceName);

// Read dialog answers from input instead of standard input; null goes back.
void UseDialogInput(FILE* input);

// What is still held and what was released wrongly since the last reset.
std::vector<std::string> LedgerLive();
std::vector<std::string> LedgerViolations();
// Every platform call and every release since the last reset, in order.
std::vector<Event> Journal();
// The calls alone, as "operation(arguments)".
std::vector<std::string> CallTrace();
// How many platform calls the run made: counted whatever the run keeps.
unsigned long CallCount();
// Calls observer with the name of every platform call from here on, before
// the call does anything; null stops it. For measurements that must know
// where a run is (the start of each mailbox) without a journal.
using CallObserver = void (*)(std::string_view operation);
void ObserveCalls(CallObserver observer);

// What the emulation keeps of the runs from here on (ledger.h); a reset
// leaves it as it is. Everything unless the host chose otherwise.
void SetRetention(Retention retention);
Retention CurrentRetention();

// Forgets the ledger, the journal, the released objects, the counted
// calls and every other state of the platform: a new run starts as in a
// new process.
void ResetRun();

}  // namespace emulation
