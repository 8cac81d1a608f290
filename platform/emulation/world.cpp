#include "platform/emulation/world.h"

#include "platform/emulation/com.h"
#include "platform/emulation/control.h"
#include "platform/emulation/ledger.h"
#include "platform/emulation/object.h"
#include "platform/emulation/unicode.h"

namespace emulation {

namespace {

FILE* dialogInput = nullptr;

}  // namespace

World& TheWorld() {
  static auto* world = new World();  // outlives every static
  return *world;
}

std::optional<Fault> TakeFault(std::string_view operation) {
  World& world = TheWorld();
  auto count = world.callCounts.find(operation);
  if (count == world.callCounts.end()) count = world.callCounts.emplace(std::string(operation), 0).first;
  const unsigned call = ++count->second;
  if (!world.organisation) return std::nullopt;
  for (const Fault& fault : world.organisation->faults)
    if (fault.operation == operation && fault.occurrence == call) return fault;
  return std::nullopt;
}

void SetFaultErrorInfo(const Fault& fault) {
  if (!fault.source && !fault.description) {
    SetErrorInfo(0, nullptr);
    return;
  }
  ICreateErrorInfo* create = nullptr;
  CreateErrorInfo(&create);
  if (fault.source) create->SetSource(Utf16FromUtf8(*fault.source).data());
  if (fault.description) create->SetDescription(Utf16FromUtf8(*fault.description).data());
  IErrorInfo* info = nullptr;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  SetErrorInfo(0, info);
  info->Release();
  create->Release();
}

FILE* DialogInput() { return dialogInput != nullptr ? dialogInput : stdin; }

void UseDialogInput(FILE* input) { dialogInput = input; }

std::vector<std::string> LedgerLive() { return Ledger::Instance().Live(); }
std::vector<std::string> LedgerViolations() { return Ledger::Instance().Violations(); }
std::vector<std::string> LedgerHistory() { return Ledger::Instance().History(); }

void ResetRun() {
  World& world = TheWorld();
  world.organisation.reset();
  world.comInitialized = false;
  world.callCounts.clear();
  BuryReleasedObjects();
  Ledger::Instance().Reset();
}

}  // namespace emulation
