// Comparisons of names that ignore letter case, as the platform compares
// server names, addresses and keys: ASCII letters only.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace emulation {

// Whatever the C library's locale.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool SameText(std::string_view left, std::string_view right) {
  return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(),
                                                   [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

inline std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

}  // namespace emulation
