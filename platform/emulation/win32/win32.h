// Win32 functions of the emulated platform: system messages, local memory
// and code-page conversion. The ANSI code page of the emulation is UTF-8.
#pragma once

// Built for Windows, the emulation compiles against the SDK itself.
#ifdef _WIN32
#include "platform/windows/sdk.h"
#else

#include <cstdarg>

#include "platform/emulation/runtime/wintypes.h"
#include "platform/emulation/win32/processes.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))

#define LMEM_FIXED 0x0000

#define CP_ACP 0
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

EXTERN_C DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments);
EXTERN_C HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
EXTERN_C HLOCAL WINAPI LocalFree(HLOCAL hMem);

EXTERN_C int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                        LPWSTR lpWideCharStr, int cchWideChar);
EXTERN_C int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                        BOOL* lpUsedDefaultChar);
typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer,
  SidTypeLabel
} SID_NAME_USE,
    *PSID_NAME_USE;

#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_NONE_MAPPED 1332L
#define ERROR_INVALID_SID 1337L

EXTERN_C DWORD WINAPI GetLastError(void);
EXTERN_C void WINAPI SetLastError(DWORD dwErrCode);

EXTERN_C BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName,
                                       LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                       PSID_NAME_USE peUse);

EXTERN_C int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
EXTERN_C int WINAPI lstrlenA(LPCSTR lpString);
// The desktop's window: the parent the dialogs of the emulation ignore.
EXTERN_C HWND WINAPI GetDesktopWindow();
EXTERN_C int WINAPI lstrlenW(LPCWSTR lpString);

#endif  // _WIN32
