// The COM classes the emulated platform provides, by CLSID and ProgID.
#pragma once

#include "platform/emulation/com/com.h"

namespace emulation {

struct ClassEntry {
  const CLSID* clsid;
  const char16_t* progId;
  // A new object, asked for an interface.
  HRESULT (*create)(REFIID riid, void** object);
};

const ClassEntry* FindClass(REFCLSID clsid);
const ClassEntry* FindClassByProgId(const char16_t* progId);

HRESULT CreateAdoConnection(REFIID riid, void** object);

}  // namespace emulation
