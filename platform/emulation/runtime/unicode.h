// UTF-8 and UTF-16, the emulation's ANSI code page and its wide strings.
// A wide string is one of WCHAR, the platform's UTF-16 unit: char16_t in
// the Linux build, wchar_t in the Windows one; wide literals are written
// OLESTR("...") for both.
#pragma once

#include <string>
#include <string_view>

#include "platform/emulation/runtime/wintypes.h"

namespace emulation {

using WideString = std::basic_string<WCHAR>;
using WideStringView = std::basic_string_view<WCHAR>;

WideString Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(WideStringView text);

}  // namespace emulation
