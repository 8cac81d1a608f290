#include "platform/emulation/win32/win32.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"

namespace {

struct SystemMessage {
  DWORD id;
  const char* text;
};

// The system message table's texts for the statuses the emulation
// produces. Statuses of facility ITF (MAPI, ADO, CDO) have no system text.
constexpr SystemMessage kSystemMessages[] = {
    {0x00000000, "The operation completed successfully.\r\n"},
    {0x00000001, "Incorrect function.\r\n"},
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004003, "Invalid pointer\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x8000FFFF, "Catastrophic failure\r\n"},
    {0x80020001, "Unknown interface.\r\n"},
    {0x80020003, "Member not found.\r\n"},
    {0x80020004, "Parameter not found.\r\n"},
    {0x80020005, "Type mismatch.\r\n"},
    {0x80020007, "No named arguments.\r\n"},
    {0x80020009, "Exception occurred.\r\n"},
    {0x8002000B, "Invalid index.\r\n"},
    {0x8002000E, "Invalid number of parameters.\r\n"},
    {0x80040110, "Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040154, "Class not registered\r\n"},
    {0x800401F0, "CoInitialize has not been called.\r\n"},
    {0x800401F3, "Invalid class string\r\n"},
    {0x80070005, "Access is denied.\r\n"},
    {0x8007000E, "Not enough memory resources are available to complete this operation.\r\n"},
    {0x80070057, "The parameter is incorrect.\r\n"},
    {0x8007054B, "The specified domain either does not exist or could not be contacted.\r\n"},
    {0x80072030, "There is no such object on the server.\r\n"},
    {0x8007203A, "The server is not operational.\r\n"},
};

const char* FindSystemMessage(DWORD id) {
  for (const SystemMessage& message : kSystemMessages)
    if (message.id == id) return message.text;
  return nullptr;
}

}  // namespace

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
  const bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if (allocate) *reinterpret_cast<LPSTR*>(lpBuffer) = nullptr;
  DWORD length = 0;
  // A planned failure: no text, as for a status the table does not know.
  emulation::UnderFault("FormatMessageA", emulation::Describe("0x%X, 0x%08X, 0x%X", dwFlags, dwMessageId, dwLanguageId),
                        [&]() -> HRESULT {
                          if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) return E_INVALIDARG;
                          const char* text = FindSystemMessage(dwMessageId);
                          if (text == nullptr) return static_cast<HRESULT>(0x8007013D);  // ERROR_MR_MID_NOT_FOUND
                          const DWORD size = static_cast<DWORD>(strlen(text));
                          if (allocate) {
                            auto* copy = static_cast<LPSTR>(LocalAlloc(LMEM_FIXED, size + 1));
                            if (copy == nullptr) return E_OUTOFMEMORY;
                            memcpy(copy, text, size + 1);
                            *reinterpret_cast<LPSTR*>(lpBuffer) = copy;
                          } else {
                            if (lpBuffer == nullptr || nSize <= size) return E_INVALIDARG;
                            memcpy(lpBuffer, text, size + 1);
                          }
                          length = size;
                          return S_OK;
                        });
  return length;
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
