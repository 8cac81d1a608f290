// The domain's account lookup, served from the directory.
#include "platform/emulation/win32/account_lookup.h"

#include <cstring>
#include <string>

#include "platform/emulation/directory/directory.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"

namespace emulation {

BOOL LookUpAccountSid(LPCWSTR systemName, PSID binarySid, LPWSTR name, LPDWORD nameLength, LPWSTR domainName,
                      LPDWORD domainNameLength, PSID_NAME_USE use) {
  const std::optional<Sid> sid = ReadBinarySid(binarySid);
  const std::string arguments =
      (systemName == nullptr ? std::string("null") : Quoted(systemName)) + ", " +
      (sid ? SidText(*sid) : std::string("invalid")) +
      Describe(", %u, %u", nameLength ? *nameLength : 0, domainNameLength ? *domainNameLength : 0);
  DWORD error = 0;
  const HRESULT hr = UnderFault("LookupAccountSidW", arguments, [&]() -> HRESULT {
    if (!sid || nameLength == nullptr || domainNameLength == nullptr) return error = ERROR_INVALID_SID, E_FAIL;
    const std::optional<AccountName> account = TheDirectory().LookupSid(*sid);
    if (!account) return error = ERROR_NONE_MAPPED, E_FAIL;
    const WideString accountName = Utf16FromUtf8(account->name);
    const WideString accountDomain = Utf16FromUtf8(account->domain);
    // Too small a buffer: both sizes come back with room for the terminator.
    if (*nameLength < accountName.size() + 1 || *domainNameLength < accountDomain.size() + 1 || name == nullptr ||
        domainName == nullptr) {
      *nameLength = static_cast<DWORD>(accountName.size() + 1);
      *domainNameLength = static_cast<DWORD>(accountDomain.size() + 1);
      return error = ERROR_INSUFFICIENT_BUFFER, E_FAIL;
    }
    memcpy(name, accountName.c_str(), (accountName.size() + 1) * sizeof(WCHAR));
    memcpy(domainName, accountDomain.c_str(), (accountDomain.size() + 1) * sizeof(WCHAR));
    *nameLength = static_cast<DWORD>(accountName.size());
    *domainNameLength = static_cast<DWORD>(accountDomain.size());
    if (use != nullptr) *use = SidTypeUser;
    return S_OK;
  });
  if (FAILED(hr)) {
    // A planned failure stands for an account that cannot be mapped.
    SetLastError(error != 0 ? error : ERROR_NONE_MAPPED);
    return FALSE;
  }
  return TRUE;
}

}  // namespace emulation
