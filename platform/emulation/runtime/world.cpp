#include "platform/emulation/runtime/world.h"

#include <cstdarg>
#include <cstdlib>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/com.h"
#include "platform/emulation/com/dispatch_object.h"
#include "platform/emulation/control.h"
#include "platform/emulation/runtime/fault_points.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/object.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/sdk.h"
#include "platform/emulation/win32/process_control.h"
#include "platform/exchange.h"

namespace emulation {

namespace {

FILE* dialogInput = nullptr;
CallObserver callObserver = nullptr;

}  // namespace

World& TheWorld() {
  static auto* world = new World();  // outlives every static
  return *world;
}

std::optional<Fault> TakeFault(std::string_view operation, const std::string& arguments) {
  if (FindFaultPoint(operation) == nullptr) {
    fprintf(stderr, "emulated platform: \"%.*s\" is not a registered fault point\n", static_cast<int>(operation.size()),
            operation.data());
    abort();
  }
  if (callObserver != nullptr) callObserver(operation);
  World& world = TheWorld();
  Ledger::Instance().RecordCall(std::string(operation), arguments);
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
  IErrorInfo* info = NewErrorInfo(fault.source, fault.description);
  SetErrorInfo(0, info);
  info->Release();
}

std::string Describe(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

std::string NameOf(const IID* iid) {
  if (iid == nullptr) return "null";
  static const std::pair<const IID*, const char*> kNames[] = {
      {&IID_IUnknown, "IUnknown"},
      {&IID_IDispatch, "IDispatch"},
      {&IID_ISupportErrorInfo, "ISupportErrorInfo"},
      {&IID_IMAPISession, "IMAPISession"},
      {&IID_IMAPITable, "IMAPITable"},
      {&IID_IMAPIProp, "IMAPIProp"},
      {&IID_IMsgStore, "IMsgStore"},
      {&IID_IAddrBook, "IAddrBook"},
      {&IID_IMailUser, "IMailUser"},
      {&IID_IExchangeManageStore, "IExchangeManageStore"},
      {&CLSID_Connection, "ADODB.Connection"},
      {&IID_Connection15, "Connection15"},
      {&IID__Connection, "_Connection"},
      {&CLSID_Recordset, "ADODB.Recordset"},
      {&IID_Recordset15, "Recordset15"},
      {&IID__Recordset, "_Recordset"},
      {&IID_Fields15, "Fields15"},
      {&IID_Field20, "Field20"},
      {&IID_IADs, "IADs"},
      {&IID_IADsSecurityDescriptor, "IADsSecurityDescriptor"},
      {&IID_IADsAccessControlList, "IADsAccessControlList"},
      {&IID_IADsAccessControlEntry, "IADsAccessControlEntry"},
      {&IID_IEnumVARIANT, "IEnumVARIANT"},
      {&IID_IRunnableObject, "IRunnableObject"},
  };
  for (const auto& [known, name] : kNames)
    if (*known == *iid) return name;
  return Describe("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", iid->Data1, iid->Data2, iid->Data3,
                  iid->Data4[0], iid->Data4[1], iid->Data4[2], iid->Data4[3], iid->Data4[4], iid->Data4[5],
                  iid->Data4[6], iid->Data4[7]);
}

std::string CreationArguments(REFCLSID clsid, const IUnknown* outer, DWORD context, REFIID riid) {
  return NameOf(&clsid) + ", " + (outer != nullptr ? "outer" : "null") +
         Describe(", 0x%X, ", static_cast<unsigned>(context)) + NameOf(&riid);
}

std::string Quoted(const WCHAR* text) {
  if (text == nullptr) return "null";
  emulation::WideStringView view(text);
  return "\"" + Utf8FromUtf16(view) + "\"";
}

std::string TagList(const SPropTagArray* tags) {
  if (tags == nullptr) return "null";
  std::string list = "[";
  for (ULONG i = 0; i < tags->cValues; ++i) list += Describe(i == 0 ? "0x%08X" : " 0x%08X", tags->aulPropTag[i]);
  return list + "]";
}

FILE* DialogInput() { return dialogInput != nullptr ? dialogInput : stdin; }

void UseDialogInput(FILE* input) { dialogInput = input; }

std::vector<std::string> LedgerLive() { return Ledger::Instance().Live(); }
std::vector<std::string> LedgerViolations() { return Ledger::Instance().Violations(); }
std::vector<Event> Journal() { return Ledger::Instance().Journal(); }

std::vector<std::string> CallTrace() {
  std::vector<std::string> calls;
  for (const Event& event : Ledger::Instance().Journal())
    if (event.kind == Event::Kind::Call) calls.push_back(event.operation + "(" + event.detail + ")");
  return calls;
}

void ObserveCalls(CallObserver observer) { callObserver = observer; }

unsigned long CallCount() {
  unsigned long total = 0;
  for (const auto& [operation, count] : TheWorld().callCounts) total += count;
  return total;
}

void ResetRun() {
  // What a run leaves behind is dropped unreleased: the ledger forgets it.
  TheWorld() = World();
  FreeAllObjects();
  ForgetDeferredReports();
  CloseLeftHandles();
  Ledger::Instance().Reset();
}

}  // namespace emulation
