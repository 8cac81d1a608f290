// The COM classes the emulated platform provides, by CLSID and ProgID.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/emulation/com/com.h"
#include "platform/emulation/runtime/organisation.h"

namespace emulation {

struct ClassEntry {
  const CLSID* clsid;
  const WCHAR* progId;
  // A new object, asked for an interface.
  HRESULT (*create)(REFIID riid, void** object);
  // Whether the class is registered in this run's organisation.
  bool (*registered)();
};

const ClassEntry* FindClass(REFCLSID clsid);
// The entry's place in the table, from 0.
size_t ClassIndex(const ClassEntry& entry);
const ClassEntry* FindClassByProgId(const WCHAR* progId);
// CLSIDFromProgID over the emulated classes: Linux exports it; on Windows
// the tool's import is pointed here, so that the organisation decides
// which classes are installed there too.
HRESULT ClassIdFromProgId(LPCOLESTR progId, CLSID* clsid);

HRESULT CreateAdoConnection(REFIID riid, void** object);
HRESULT CreateAdoRecordset(REFIID riid, void** object);
// Whether object, an IDispatch handed to a recordset, is an open connection.
bool IsOpenConnection(IUnknown* object);

// A new error object with these texts (a missing one is never set), held
// by the caller: what a failing platform object leaves for GetErrorInfo.
IErrorInfo* NewErrorInfo(const std::optional<std::string>& source, const std::optional<std::string>& description);

// Makes the calling thread's error object describe a planned fault: one
// with the fault's source and description, or none when it names neither.
void SetFaultErrorInfo(const Fault& fault);

}  // namespace emulation
