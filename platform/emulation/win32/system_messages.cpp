#include "platform/emulation/win32/system_messages.h"

#include <cstring>

#include "platform/emulation/runtime/world.h"

namespace emulation {

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

DWORD FormatSystemMessage(DWORD flags, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD bufferSize) {
  const bool allocate = (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if (allocate) *reinterpret_cast<LPSTR*>(buffer) = nullptr;
  DWORD length = 0;
  // A planned failure: no text, as for a status the table does not know.
  UnderFault("FormatMessageA", Describe("0x%X, 0x%08X, 0x%X", flags, messageId, languageId), [&]() -> HRESULT {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) return E_INVALIDARG;
    const char* text = FindSystemMessage(messageId);
    if (text == nullptr) return static_cast<HRESULT>(0x8007013D);  // ERROR_MR_MID_NOT_FOUND
    const DWORD size = static_cast<DWORD>(strlen(text));
    if (allocate) {
      auto* copy = static_cast<LPSTR>(LocalAlloc(LMEM_FIXED, size + 1));
      if (copy == nullptr) return E_OUTOFMEMORY;
      memcpy(copy, text, size + 1);
      *reinterpret_cast<LPSTR*>(buffer) = copy;
    } else {
      if (buffer == nullptr || bufferSize <= size) return E_INVALIDARG;
      memcpy(buffer, text, size + 1);
    }
    length = size;
    return S_OK;
  });
  return length;
}

}  // namespace emulation
