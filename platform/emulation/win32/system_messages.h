// The system message table, as FormatMessageA gives it: the texts of the
// statuses the emulated platform produces, with the platform's wording.
// Linux exports FormatMessageA from it; on Windows the tool's import of
// FormatMessageA is pointed here, since Wine words some texts otherwise.
#pragma once

#include "platform/emulation/sdk.h"

namespace emulation {

DWORD FormatSystemMessage(DWORD flags, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD bufferSize);

}  // namespace emulation
