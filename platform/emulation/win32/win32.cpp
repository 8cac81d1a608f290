#include "platform/emulation/win32/win32.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/win32/system_messages.h"

namespace {

// Copies a converted text out as the platform's conversions do: the
// needed size when the target size is 0, else the count written, or 0 when
// it does not fit. A source length of -1 includes the terminator.
template <typename Char>
int CopyConverted(const std::basic_string<Char>& converted, Char* target, int targetSize) {
  const int needed = static_cast<int>(converted.size());
  if (targetSize == 0) return needed;
  if (target == nullptr || targetSize < needed) return 0;
  std::memcpy(target, converted.data(), converted.size() * sizeof(Char));
  return needed;
}

}  // namespace

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                            va_list*) {
  return emulation::FormatSystemMessage(dwFlags, dwMessageId, dwLanguageId, lpBuffer, nSize);
}

HLOCAL WINAPI LocalAlloc(UINT, SIZE_T uBytes) {
  void* memory = calloc(1, uBytes == 0 ? 1 : uBytes);
  if (memory != nullptr)
    emulation::Ledger::Instance().Acquire(emulation::Resource::LocalMemory, memory,
                                          "of " + std::to_string(uBytes) + " bytes");
  return memory;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  if (hMem == nullptr) return nullptr;
  if (!emulation::Ledger::Instance().Release(emulation::Resource::LocalMemory, hMem, "LocalFree")) return hMem;
  free(hMem);
  return nullptr;
}

int WINAPI MultiByteToWideChar(UINT, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                               int cchWideChar) {
  if (lpMultiByteStr == nullptr) return 0;
  const size_t length = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  return CopyConverted(emulation::Utf16FromUtf8({lpMultiByteStr, length}), lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT, DWORD, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                               int cbMultiByte, LPCSTR, BOOL* lpUsedDefaultChar) {
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = FALSE;
  if (lpWideCharStr == nullptr) return 0;
  const size_t length =
      cchWideChar < 0 ? static_cast<size_t>(lstrlenW(lpWideCharStr)) + 1 : static_cast<size_t>(cchWideChar);
  return CopyConverted(emulation::Utf8FromUtf16({lpWideCharStr, length}), lpMultiByteStr, cbMultiByte);
}

int WINAPI lstrlenA(LPCSTR lpString) { return lpString == nullptr ? 0 : static_cast<int>(strlen(lpString)); }

int WINAPI lstrlenW(LPCWSTR lpString) {
  if (lpString == nullptr) return 0;
  int length = 0;
  while (lpString[length] != 0) ++length;
  return length;
}

HWND WINAPI GetDesktopWindow() {
  // A planned failure gives no window, as a desktop without one would.
  static int desktop = 0;
  HWND window = nullptr;
  emulation::UnderFault("GetDesktopWindow", {}, [&] {
    window = reinterpret_cast<HWND>(&desktop);
    return S_OK;
  });
  return window;
}

// The thread's last error: one thread, kept with the run's state.
DWORD WINAPI GetLastError(void) { return emulation::TheWorld().lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { emulation::TheWorld().lastError = dwErrCode; }
