#include "platform/emulation/runtime/unicode.h"

namespace emulation {

WideString Utf16FromUtf8(std::string_view text) {
  const size_t length = text.size();
  WideString out;
  for (size_t i = 0; i < length;) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    char32_t cp = 0xFFFD;
    size_t extra = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
    }
    ++i;
    for (size_t k = 0; k < extra; ++k, ++i) {
      if (i >= length || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        cp = 0xFFFD;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<WCHAR>(0xD800 + (cp >> 10));
      out += static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<WCHAR>(cp);
    }
  }
  return out;
}

std::string Utf8FromUtf16(WideStringView text) {
  const size_t length = text.size();
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (cp >= 0xD800 && cp < 0xE000)
      cp = 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace emulation
