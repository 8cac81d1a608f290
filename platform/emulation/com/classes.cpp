#include "platform/emulation/com/classes.h"

#include <string_view>

#include "platform/emulation/ado/ado.h"
#include "platform/emulation/cdo/cdo.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"

namespace emulation {

namespace {

bool Always() { return true; }

// CDO is installed unless the organisation leaves it out.
bool CdoRegistered() {
  const auto& organisation = TheWorld().organisation;
  return organisation == nullptr || organisation->cdo.registered;
}

const ClassEntry kClasses[] = {
    {&CLSID_Connection, OLESTR("ADODB.Connection"), &CreateAdoConnection, &Always},
    {&CLSID_CdoSession, OLESTR("MAPI.Session"), &CreateCdoSession, &CdoRegistered},
    {&CLSID_Recordset, OLESTR("ADODB.Recordset"), &CreateAdoRecordset, &Always},
};

// ProgIDs compare without regard to case, as the registry does.
bool SameProgId(WideStringView left, WideStringView right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    const auto fold = [](WCHAR c) { return (c >= OLESTR('A') && c <= OLESTR('Z')) ? static_cast<WCHAR>(c + 32) : c; };
    if (fold(left[i]) != fold(right[i])) return false;
  }
  return true;
}

}  // namespace

const ClassEntry* FindClass(REFCLSID clsid) {
  for (const ClassEntry& entry : kClasses)
    if (*entry.clsid == clsid && entry.registered()) return &entry;
  return nullptr;
}

size_t ClassIndex(const ClassEntry& entry) { return static_cast<size_t>(&entry - kClasses); }

const ClassEntry* FindClassByProgId(const WCHAR* progId) {
  if (progId == nullptr) return nullptr;
  for (const ClassEntry& entry : kClasses)
    if (SameProgId(entry.progId, progId) && entry.registered()) return &entry;
  return nullptr;
}

HRESULT ClassIdFromProgId(LPCOLESTR progId, CLSID* clsid) {
  *clsid = IID_NULL;
  return UnderFault("CLSIDFromProgID", Quoted(progId), [&]() -> HRESULT {
    const ClassEntry* entry = FindClassByProgId(progId);
    if (entry == nullptr) return CO_E_CLASSSTRING;
    *clsid = *entry->clsid;
    return S_OK;
  });
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

}  // namespace emulation
