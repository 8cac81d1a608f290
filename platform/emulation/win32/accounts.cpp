// Account lookup, served from the directory.
#include <cstring>
#include <string>

#include "platform/emulation/directory/directory.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName, LPWSTR ReferencedDomainName,
                              LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse) {
  const std::optional<emulation::Sid> sid = emulation::ReadBinarySid(Sid);
  const std::string arguments =
      (lpSystemName == nullptr ? std::string("null") : emulation::Quoted(lpSystemName)) + ", " +
      (sid ? emulation::SidText(*sid) : std::string("invalid")) +
      emulation::Describe(", %u, %u", cchName ? *cchName : 0, cchReferencedDomainName ? *cchReferencedDomainName : 0);
  DWORD error = 0;
  const HRESULT hr = emulation::UnderFault("LookupAccountSidW", arguments, [&]() -> HRESULT {
    if (!sid || cchName == nullptr || cchReferencedDomainName == nullptr) return error = ERROR_INVALID_SID, E_FAIL;
    const std::optional<emulation::AccountName> account = emulation::TheDirectory().LookupSid(*sid);
    if (!account) return error = ERROR_NONE_MAPPED, E_FAIL;
    const emulation::WideString name = emulation::Utf16FromUtf8(account->name);
    const emulation::WideString domain = emulation::Utf16FromUtf8(account->domain);
    // Too small a buffer: both sizes come back with room for the terminator.
    if (*cchName < name.size() + 1 || *cchReferencedDomainName < domain.size() + 1 || Name == nullptr ||
        ReferencedDomainName == nullptr) {
      *cchName = static_cast<DWORD>(name.size() + 1);
      *cchReferencedDomainName = static_cast<DWORD>(domain.size() + 1);
      return error = ERROR_INSUFFICIENT_BUFFER, E_FAIL;
    }
    memcpy(Name, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    memcpy(ReferencedDomainName, domain.c_str(), (domain.size() + 1) * sizeof(WCHAR));
    *cchName = static_cast<DWORD>(name.size());
    *cchReferencedDomainName = static_cast<DWORD>(domain.size());
    if (peUse != nullptr) *peUse = SidTypeUser;
    return S_OK;
  });
  if (FAILED(hr)) {
    // A planned failure stands for an account that cannot be mapped.
    SetLastError(error != 0 ? error : ERROR_NONE_MAPPED);
    return FALSE;
  }
  return TRUE;
}

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
  // A null string sorts before every other one.
  if (lpString1 == nullptr || lpString2 == nullptr) return lpString1 == lpString2 ? 0 : (lpString1 == nullptr ? -1 : 1);
  const auto fold = [](WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c; };
  for (;; ++lpString1, ++lpString2) {
    const WCHAR a = fold(*lpString1), b = fold(*lpString2);
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}
