// The names of the GUIDs the emulation knows, as its journal shows them.
#pragma once

#include <string>

#include "platform/emulation/com/com.h"

namespace emulation {

// The interface's or class's name, or the GUID's text.
std::string NameOf(const IID* iid);
// CoCreateInstance's arguments.
std::string CreationArguments(REFCLSID clsid, const IUnknown* outer, DWORD context, REFIID riid);

}  // namespace emulation
