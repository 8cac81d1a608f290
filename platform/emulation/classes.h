// The COM classes the emulated platform provides, by CLSID and ProgID.
#pragma once

#include "platform/emulation/com.h"

namespace emulation {

struct ClassEntry {
  const CLSID* clsid;
  const char16_t* progId;
  IUnknown* (*create)();  // a new object holding one reference
};

const ClassEntry* FindClass(REFCLSID clsid);
const ClassEntry* FindClassByProgId(const char16_t* progId);

IUnknown* CreateAdoConnection();

}  // namespace emulation
