// The domain's account lookup (LookupAccountSidW), served from the
// directory. Linux exports it as the platform function; on Windows the
// tool's import of it is pointed here, since the system's own lookup knows
// none of the organisation's accounts.
#pragma once

#include "platform/emulation/sdk.h"

namespace emulation {

BOOL LookUpAccountSid(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameLength, LPWSTR domainName,
                      LPDWORD domainNameLength, PSID_NAME_USE use);

}  // namespace emulation
