#include "platform/emulation/runtime/world.h"

#include <cstdarg>
#include <cstdlib>
#include <vector>

#include "platform/emulation/runtime/fault_points.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/unicode.h"

namespace emulation {

namespace {

FILE* dialogInput = nullptr;
void (*callObserver)(std::string_view operation) = nullptr;

std::vector<void (*)()>& RunResets() {
  static auto* resets = new std::vector<void (*)()>();  // outlives every static
  return *resets;
}

}  // namespace

World& TheWorld() {
  static auto* world = new World();  // outlives every static
  return *world;
}

std::optional<Fault> TakeFault(std::string_view operation, const std::string& arguments) {
  const FaultPoint* point = FindFaultPoint(operation);
  if (point == nullptr) {
    fprintf(stderr, "emulated platform: \"%.*s\" is not a registered fault point\n", static_cast<int>(operation.size()),
            operation.data());
    abort();
  }
  if (callObserver != nullptr) callObserver(operation);
  World& world = TheWorld();
  Ledger::Instance().RecordCall(operation, arguments);
  const unsigned call = ++world.callCounts[point->operation];
  if (!world.organisation) return std::nullopt;
  for (const Fault& fault : world.organisation->faults)
    if (fault.operation == operation && fault.occurrence == call) return fault;
  return std::nullopt;
}

std::string Describe(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

std::string Quoted(const WCHAR* text) {
  if (text == nullptr) return "null";
  emulation::WideStringView view(text);
  return "\"" + Utf8FromUtf16(view) + "\"";
}

FILE* DialogInput() { return dialogInput != nullptr ? dialogInput : stdin; }

void SetDialogInput(FILE* input) { dialogInput = input; }

void SetCallObserver(void (*observer)(std::string_view operation)) { callObserver = observer; }

RunReset::RunReset(void (*reset)()) { RunResets().push_back(reset); }

void ResetWorld() {
  TheWorld() = World();
  for (void (*reset)() : RunResets()) reset();
}

}  // namespace emulation
