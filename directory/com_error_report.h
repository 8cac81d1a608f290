// The console lines with which every IADWrapper method reports an exception
// that escapes its platform calls.
#pragma once

#include "platform/sdk.h"

// "<method>: COM Error 0x... - <message> - Source: ... - Description ...",
// the short form.
void PrintComError(const char* method, const _com_error& error);
// The same with " - Command <command>" at the end.
void PrintComError(const char* method, const _com_error& error, const char* command);

// "Exception caught for <method>".
void PrintExceptionCaught(const char* method);

// A 32-bit status as "%I64x" prints it in directory lines: widened with its
// sign, so that 0x80004005 prints as ffffffff80004005.
inline LONGLONG WidenStatus(HRESULT status) { return static_cast<LONGLONG>(status); }
