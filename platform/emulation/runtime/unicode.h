// UTF-8 and UTF-16, the emulation's ANSI code page and its wide strings.
#pragma once

#include <string>
#include <string_view>

namespace emulation {

std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace emulation
