#include "platform/emulation/runtime/sid.h"

#include <charconv>
#include <cstring>

namespace emulation {

namespace {

constexpr size_t kMaxSubAuthorities = 15;

}  // namespace

std::optional<Sid> ParseSid(std::string_view text) {
  if (text.size() < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return std::nullopt;
  std::vector<unsigned long long> numbers;
  size_t at = 2;
  while (true) {
    unsigned long long number = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), number);
    if (error != std::errc() || end == text.data() + at) return std::nullopt;
    numbers.push_back(number);
    at = static_cast<size_t>(end - text.data());
    if (at == text.size()) break;
    if (text[at] != '-') return std::nullopt;
    ++at;
  }
  // revision, authority, sub-authorities
  if (numbers.size() < 3 || numbers[0] != 1 || numbers[1] > 0xFFFFFFFFFFFFULL ||
      numbers.size() - 2 > kMaxSubAuthorities)
    return std::nullopt;
  Sid sid;
  sid.push_back(1);
  sid.push_back(static_cast<BYTE>(numbers.size() - 2));
  for (int shift = 40; shift >= 0; shift -= 8) sid.push_back(static_cast<BYTE>(numbers[1] >> shift));
  for (size_t i = 2; i < numbers.size(); ++i) {
    if (numbers[i] > 0xFFFFFFFFULL) return std::nullopt;
    for (int shift = 0; shift < 32; shift += 8) sid.push_back(static_cast<BYTE>(numbers[i] >> shift));
  }
  return sid;
}

std::string SidText(const Sid& sid) {
  if (sid.size() < 8) return {};
  unsigned long long authority = 0;
  for (size_t i = 2; i < 8; ++i) authority = (authority << 8) | sid[i];
  std::string text = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
  for (size_t at = 8; at + 4 <= sid.size(); at += 4) {
    const unsigned long value =
        sid[at] | (sid[at + 1] << 8) | (sid[at + 2] << 16) | (static_cast<unsigned long>(sid[at + 3]) << 24);
    text += "-" + std::to_string(value);
  }
  return text;
}

std::optional<Sid> ReadBinarySid(const void* sid) {
  if (sid == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const BYTE*>(sid);
  if (bytes[0] != 1 || bytes[1] > kMaxSubAuthorities) return std::nullopt;
  return Sid(bytes, bytes + 8 + 4 * bytes[1]);
}

}  // namespace emulation
