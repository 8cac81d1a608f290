// The one include through which the core reaches its platform: the real
// Windows SDK when built for Windows, the emulated platform elsewhere.
#pragma once

#ifdef _WIN32
#include "platform/windows/sdk.h"
#else
#include "platform/emulation/sdk.h"
#endif

#include "platform/cdo.h"
#include "platform/exchange.h"
