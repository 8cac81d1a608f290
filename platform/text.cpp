#include "platform/text.h"

std::string NarrowFromWide(const WCHAR* text, UINT codePage) {
  if (text == nullptr) return {};
  const int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text, -1, result.data(), size, nullptr, nullptr);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}

std::basic_string<WCHAR> WideFromNarrow(const char* text, UINT codePage) {
  if (text == nullptr) return {};
  const int size = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (size <= 1) return {};
  std::basic_string<WCHAR> result(static_cast<size_t>(size), WCHAR{});
  MultiByteToWideChar(codePage, 0, text, -1, result.data(), size);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}
