// Comparisons of names that ignore letter case, as the platform compares
// server names, addresses and keys: ASCII letters only.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace emulation {

inline bool SameText(std::string_view left, std::string_view right) {
  return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

inline std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace emulation
