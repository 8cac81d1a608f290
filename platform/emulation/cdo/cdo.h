// CDO 1.21 of the emulated platform: the "MAPI.Session" class.
#pragma once

#include "platform/emulation/com/com.h"

// The class ID the emulation registers "MAPI.Session" under.
extern "C" const CLSID CLSID_CdoSession;

namespace emulation {

HRESULT CreateCdoSession(REFIID riid, void** object);

}  // namespace emulation
