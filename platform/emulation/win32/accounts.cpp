// Account lookup and the comparison of account names.
#include "platform/emulation/sdk.h"
#include "platform/emulation/win32/account_lookup.h"

BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName, LPWSTR ReferencedDomainName,
                              LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse) {
  return emulation::LookUpAccountSid(lpSystemName, Sid, Name, cchName, ReferencedDomainName, cchReferencedDomainName,
                                     peUse);
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
