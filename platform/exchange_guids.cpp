// Exchange's IIDs. Neither mingw-w64 nor the emulation's headers carry them,
// so this one definition serves both platforms.
#include "platform/sdk.h"

extern "C" const IID IID_IExchangeManageStore = {
    0x559D10B0, 0xA772, 0x11CD, {0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}};
