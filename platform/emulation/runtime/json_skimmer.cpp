#include "platform/emulation/runtime/json_skimmer.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/emulation/runtime/ascii_case.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Where the processor has AVX2 (checked when the program runs), the same
// loops take 32 bytes at a time.
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define CALDROSE_SKIM_AVX2 1
#define CALDROSE_AVX2_FUNCTION __attribute__((target("avx2,pclmul")))
#endif

namespace emulation {

namespace {

constexpr size_t kBlock = 64;

bool IsJsonSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
// For the vector paths, which fold the letters of a needle's byte.
[[maybe_unused]] bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// One bit per byte of a 64-byte block, for the bytes that matter to
// finding a value's end.
struct BlockBits {
  uint64_t quotes = 0;
  uint64_t backslashes = 0;
  uint64_t opening = 0;  // '[' or '{'
  uint64_t closing = 0;  // ']' or '}'
};

#if defined(__SSE2__)
BlockBits Classify(const char* block) {
  BlockBits bits;
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  // '[' and '{', ']' and '}' differ in the 0x20 bit only.
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i opening = _mm_set1_epi8('{');
  const __m128i closing = _mm_set1_epi8('}');
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
    const __m128i folded = _mm_or_si128(bytes, caseBit);
    const auto mask = [](__m128i equal) {
      return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(equal)));
    };
    bits.quotes |= mask(_mm_cmpeq_epi8(bytes, quote)) << (16 * part);
    bits.backslashes |= mask(_mm_cmpeq_epi8(bytes, backslash)) << (16 * part);
    bits.opening |= mask(_mm_cmpeq_epi8(folded, opening)) << (16 * part);
    bits.closing |= mask(_mm_cmpeq_epi8(folded, closing)) << (16 * part);
  }
  return bits;
}
#else
BlockBits Classify(const char* block) {
  BlockBits bits;
  for (size_t i = 0; i < kBlock; ++i) {
    const uint64_t bit = uint64_t{1} << i;
    switch (block[i]) {
      case '"':
        bits.quotes |= bit;
        break;
      case '\\':
        bits.backslashes |= bit;
        break;
      case '[':
      case '{':
        bits.opening |= bit;
        break;
      case ']':
      case '}':
        bits.closing |= bit;
        break;
      default:
        break;
    }
  }
  return bits;
}
#endif

#ifdef CALDROSE_SKIM_AVX2
CALDROSE_AVX2_FUNCTION BlockBits ClassifyAvx2(const char* block) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
  const auto bitsOf = [&](char c, bool folded) CALDROSE_AVX2_FUNCTION {
    const __m256i value = _mm256_set1_epi8(c);
    const __m256i fold = _mm256_set1_epi8(folded ? 0x20 : 0);
    const auto half = [&](__m256i bytes) CALDROSE_AVX2_FUNCTION {
      return static_cast<uint64_t>(
          static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_or_si256(bytes, fold), value))));
    };
    return half(low) | half(high) << 32;
  };
  // '[' and '{', ']' and '}' differ in the 0x20 bit only.
  return {bitsOf('"', false), bitsOf('\\', false), bitsOf('{', true), bitsOf('}', true)};
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul");
  return has;
}
#endif

// Each bit the parity of the bits up to and including it: with quotes in,
// the bytes from an opening quote up to its closing one.
uint64_t PrefixParity(uint64_t bits) {
  bits ^= bits << 1;
  bits ^= bits << 2;
  bits ^= bits << 4;
  bits ^= bits << 8;
  bits ^= bits << 16;
  bits ^= bits << 32;
  return bits;
}

size_t StringEnd(std::string_view text, size_t at) {
  for (size_t from = at + 1;;) {
    const void* found = memchr(text.data() + from, '"', text.size() - from);
    if (found == nullptr) return kNoPosition;
    const size_t quote = static_cast<size_t>(static_cast<const char*>(found) - text.data());
    size_t backslashes = 0;
    while (quote - backslashes > at + 1 && text[quote - backslashes - 1] == '\\') ++backslashes;
    if (backslashes % 2 == 0) return quote + 1;
    from = quote + 1;
  }
}

template <typename Classifier, typename Parity>
[[gnu::always_inline]] inline size_t ContainerEndWith(std::string_view text, size_t at, int depthLimit,
                                                      std::vector<size_t>* inner, Classifier classify,
                                                      Parity prefixParity) {
  int64_t depth = 0;
  uint64_t inString = 0;      // all ones while a string runs on into the next block
  uint64_t escapedFirst = 0;  // 1 when the next block's first byte is escaped
  char tail[kBlock];
  for (size_t start = at; start < text.size(); start += kBlock) {
    const char* block = text.data() + start;
    if (text.size() - start < kBlock) {
      memset(tail, ' ', kBlock);
      memcpy(tail, block, text.size() - start);
      block = tail;
    }
    const BlockBits bits = classify(block);
    uint64_t escaped = escapedFirst;
    escapedFirst = 0;
    for (uint64_t backslashes = bits.backslashes; backslashes != 0; backslashes &= backslashes - 1) {
      const int at = std::countr_zero(backslashes);
      if ((escaped >> at & 1) != 0) continue;
      if (at == 63)
        escapedFirst = 1;
      else
        escaped |= uint64_t{1} << (at + 1);
    }
    const uint64_t inside = prefixParity(bits.quotes & ~escaped) ^ inString;
    inString = static_cast<uint64_t>(static_cast<int64_t>(inside) >> 63);
    const uint64_t opening = bits.opening & ~inside;
    const uint64_t closing = bits.closing & ~inside;
    for (uint64_t brackets = opening | closing; brackets != 0; brackets &= brackets - 1) {
      const int at = std::countr_zero(brackets);
      const size_t position = start + static_cast<size_t>(at);
      if ((opening >> at & 1) != 0) {
        if (++depth > depthLimit) return kNoPosition;
        if (depth == 2 && inner != nullptr) inner->push_back(position);
      } else if (depth == 2 && inner != nullptr) {
        inner->push_back(position + 1);
        --depth;
      } else if (--depth == 0) {
        return position + 1;
      }
    }
  }
  return kNoPosition;
}

#ifdef CALDROSE_SKIM_AVX2
CALDROSE_AVX2_FUNCTION size_t ContainerEndAvx2(std::string_view text, size_t at, int depthLimit,
                                               std::vector<size_t>* inner) {
  // A carry-less multiplication by all ones is the prefix parity.
  const auto prefixParity = [](uint64_t bits) CALDROSE_AVX2_FUNCTION {
    return static_cast<uint64_t>(
        _mm_cvtsi128_si64(_mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<int64_t>(bits)), _mm_set1_epi8(-1), 0)));
  };
  return ContainerEndWith(text, at, depthLimit, inner, ClassifyAvx2, prefixParity);
}
#endif

// Positions from..last where needle may start, sixteen or thirty-two at a
// time: those whose first, middle and last bytes are needle's; each is then
// compared whole. The last round overlaps the one before it rather than
// going byte by byte.
template <typename Lanes>
[[gnu::always_inline]] inline size_t FindWith(std::string_view text, size_t from, size_t last,
                                              std::string_view needle) {
  const auto matches = [&](size_t at) { return SameText(text.substr(at, needle.size()), needle); };
  if (last + 1 - from < Lanes::kWidth) {
    for (size_t at = from; at <= last; ++at)
      if (matches(at)) return at;
    return kNoPosition;
  }
  const size_t middle = needle.size() / 2;
  const Lanes firstByte(needle.front());
  const Lanes middleByte(needle[middle]);
  const Lanes lastByte(needle.back());
  for (size_t round = from;; round += Lanes::kWidth) {
    size_t at = round;
    uint64_t skip = 0;  // positions the round before has seen
    if (at + Lanes::kWidth > last + 1) {
      at = last + 1 - Lanes::kWidth;
      skip = round - at;
    }
    uint64_t candidates = firstByte.Matches(text.data() + at) & middleByte.Matches(text.data() + at + middle) &
                          lastByte.Matches(text.data() + at + needle.size() - 1);
    candidates = candidates >> skip << skip;
    for (; candidates != 0; candidates &= candidates - 1) {
      const size_t candidate = at + static_cast<size_t>(std::countr_zero(candidates));
      if (matches(candidate)) return candidate;
    }
    if (at + Lanes::kWidth > last) return kNoPosition;
  }
}

#if defined(__SSE2__)
// One byte, ASCII letters in either case, compared with sixteen.
struct Sse2Lanes {
  static constexpr size_t kWidth = 16;
  __m128i value;
  __m128i fold;
  explicit Sse2Lanes(char c)
      : value(_mm_set1_epi8(IsAsciiLetter(c) ? static_cast<char>(c | 0x20) : c)),
        fold(_mm_set1_epi8(IsAsciiLetter(c) ? 0x20 : 0)) {}
  uint64_t Matches(const char* bytes) const {
    const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(loaded, fold), value)));
  }
};
#endif

#ifdef CALDROSE_SKIM_AVX2
struct Avx2Lanes {
  static constexpr size_t kWidth = 32;
  __m256i value;
  __m256i fold;
  CALDROSE_AVX2_FUNCTION explicit Avx2Lanes(char c)
      : value(_mm256_set1_epi8(IsAsciiLetter(c) ? static_cast<char>(c | 0x20) : c)),
        fold(_mm256_set1_epi8(IsAsciiLetter(c) ? 0x20 : 0)) {}
  CALDROSE_AVX2_FUNCTION uint64_t Matches(const char* bytes) const {
    const __m256i loaded = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_or_si256(loaded, fold), value)));
  }
};

CALDROSE_AVX2_FUNCTION size_t FindAvx2(std::string_view text, size_t from, size_t last, std::string_view needle) {
  return FindWith<Avx2Lanes>(text, from, last, needle);
}
#endif

size_t ContainerEnd(std::string_view text, size_t at, int depthLimit, std::vector<size_t>* inner) {
#ifdef CALDROSE_SKIM_AVX2
  if (HasAvx2()) return ContainerEndAvx2(text, at, depthLimit, inner);
#endif
  return ContainerEndWith(text, at, depthLimit, inner, Classify, PrefixParity);
}

}  // namespace

size_t SkipJsonSpace(std::string_view text, size_t at) {
  while (at < text.size() && IsJsonSpace(text[at])) ++at;
  return at;
}

size_t JsonValueEnd(std::string_view text, size_t at, int depthLimit) {
  if (at >= text.size()) return kNoPosition;
  switch (text[at]) {
    case '"':
      return StringEnd(text, at);
    case '[':
    case '{':
      return ContainerEnd(text, at, depthLimit, nullptr);
    case ']':
    case '}':
    case ',':
    case ':':
      return kNoPosition;
    default: {
      // A number or a literal: up to the next delimiter.
      size_t end = at;
      while (end < text.size() && !IsJsonSpace(text[end]) && text[end] != ',' && text[end] != ']' && text[end] != '}')
        ++end;
      return end;
    }
  }
}

size_t JsonContainerEnd(std::string_view text, size_t at, int depthLimit, std::vector<size_t>& inner) {
  inner.clear();
  if (at >= text.size() || (text[at] != '[' && text[at] != '{')) return kNoPosition;
  // Room for a bound every eight bytes, taken up (and paid for) only as
  // far as it is used, so that the list is not copied as it grows.
  inner.reserve((text.size() - at) / 8);
  return ContainerEnd(text, at, depthLimit, &inner);
}

size_t FindIgnoringCase(std::string_view text, size_t from, size_t to, std::string_view needle) {
  if (to > text.size()) to = text.size();
  if (needle.empty()) return from <= to ? from : kNoPosition;
  if (from > to || to - from < needle.size()) return kNoPosition;
  const size_t last = to - needle.size();  // the last position where needle fits
#ifdef CALDROSE_SKIM_AVX2
  if (HasAvx2()) return FindAvx2(text, from, last, needle);
#endif
#if defined(__SSE2__)
  return FindWith<Sse2Lanes>(text, from, last, needle);
#else
  for (size_t at = from; at <= last; ++at)
    if (SameText(text.substr(at, needle.size()), needle)) return at;
  return kNoPosition;
#endif
}

}  // namespace emulation
