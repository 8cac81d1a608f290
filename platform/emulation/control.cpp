// The control surface of the emulated platform (control.h), over the
// runtime and the libraries.
#include "platform/emulation/control.h"

#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/world.h"

namespace emulation {

void UseDialogInput(FILE* input) { SetDialogInput(input); }

std::vector<std::string> LedgerLive() { return Ledger::Instance().Live(); }
std::vector<std::string> LedgerViolations() { return Ledger::Instance().Violations(); }
std::vector<Event> Journal() { return Ledger::Instance().Journal(); }

std::vector<std::string> CallTrace() {
  std::vector<std::string> calls;
  for (const Event& event : Ledger::Instance().Journal())
    if (event.kind == Event::Kind::Call) calls.push_back(event.operation + "(" + event.detail + ")");
  return calls;
}

void ObserveCalls(CallObserver observer) { SetCallObserver(observer); }

unsigned long CallCount() {
  unsigned long total = 0;
  for (const auto& [operation, count] : TheWorld().callCounts) total += count;
  return total;
}

void ResetRun() {
  // What a run leaves behind is dropped unreleased: the ledger forgets it.
  ResetWorld();
  Ledger::Instance().Reset();
}

}  // namespace emulation
