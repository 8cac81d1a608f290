// The console formatter: formats made of the conversions the seam accepts,
// with arguments that fit them, render as the C library's printf renders
// the same conversions (with the platform's sizes: "l" is 32 bits, "I64" 64
// bits), and "%S" renders wide text as its narrow form.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/console.h"

namespace {

// Reads the fuzzer's bytes one decision at a time.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  uint64_t Next64() {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | Next();
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Piece {
  std::string platform;  // the piece of the platform format
  std::string host;      // the same conversion for the C library here
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes bytes(data, size);
  std::string platformFormat, hostFormat, expected;
  std::vector<FormatArg> args;
  // Texts must outlive the call.
  std::vector<std::string> narrowTexts;
  std::vector<std::u16string> wideTexts;
  narrowTexts.reserve(16);
  wideTexts.reserve(16);

  for (int pieces = 0; pieces < 8 && !bytes.Empty(); ++pieces) {
    const uint8_t choice = bytes.Next();
    // Literal text, without a percent sign.
    if (choice % 4 == 0) {
      const size_t length = bytes.Next() % 8;
      std::string literal;
      for (size_t i = 0; i < length; ++i) {
        char c = static_cast<char>(bytes.Next());
        if (c == '%' || c == '\0') c = '.';
        literal += c;
      }
      platformFormat += literal;
      expected += literal;
      continue;
    }
    if (choice % 4 == 1 && choice % 8 == 1) {
      platformFormat += "%%";
      expected += "%";
      continue;
    }
    static const char kConversions[] = {'d', 'i', 'u', 'o', 'x', 'X', 'c', 's', 'S'};
    const char conversion = kConversions[bytes.Next() % sizeof kConversions];
    const bool isText = conversion == 's' || conversion == 'S';
    const bool isNumber = !isText && conversion != 'c';
    // Only the flags the C language defines for the conversion.
    std::string flags;
    const uint8_t flagBits = bytes.Next();
    if (flagBits & 1) flags += '-';
    if (isNumber && (flagBits & 2)) flags += '0';
    if ((conversion == 'd' || conversion == 'i') && (flagBits & 4)) flags += '+';
    if ((conversion == 'd' || conversion == 'i') && (flagBits & 8)) flags += ' ';
    if ((conversion == 'o' || conversion == 'x' || conversion == 'X') && (flagBits & 16)) flags += '#';
    std::string widthAndPrecision;
    if (flagBits & 32) widthAndPrecision += std::to_string(bytes.Next() % 40);
    if ((flagBits & 64) && conversion != 'c') widthAndPrecision += "." + std::to_string(bytes.Next() % 40);

    std::string hostSpec = "%" + flags + widthAndPrecision;
    std::string platformSpec = hostSpec;
    char host[512];
    if (isText) {
      const size_t length = bytes.Next() % 12;
      std::string text;
      for (size_t i = 0; i < length; ++i) text += static_cast<char>(0x20 + bytes.Next() % 0x5f);  // printable ASCII
      narrowTexts.push_back(text);
      if (conversion == 's') {
        args.emplace_back(narrowTexts.back().c_str());
      } else {
        wideTexts.push_back(std::u16string(text.begin(), text.end()));
        args.emplace_back(reinterpret_cast<const WCHAR*>(wideTexts.back().c_str()));
      }
      platformSpec += conversion;
      snprintf(host, sizeof host, (hostSpec + "s").c_str(), narrowTexts.back().c_str());
    } else if (conversion == 'c') {
      const char c = static_cast<char>(0x20 + bytes.Next() % 0x5f);
      args.emplace_back(static_cast<int>(c));
      platformSpec += 'c';
      snprintf(host, sizeof host, (hostSpec + "c").c_str(), c);
    } else {
      const uint64_t value = bytes.Next64();
      const bool isSigned = conversion == 'd' || conversion == 'i';
      switch (bytes.Next() % 4) {
        case 0:  // int, no size
          args.emplace_back(isSigned ? FormatArg(static_cast<int32_t>(value))
                                     : FormatArg(static_cast<uint32_t>(value)));
          platformSpec += conversion;
          snprintf(host, sizeof host, (hostSpec + conversion).c_str(), static_cast<uint32_t>(value));
          break;
        case 1:  // "l": 32 bits on the platform
          args.emplace_back(isSigned ? FormatArg(static_cast<int32_t>(value))
                                     : FormatArg(static_cast<uint32_t>(value)));
          platformSpec += std::string("l") + conversion;
          snprintf(host, sizeof host, (hostSpec + conversion).c_str(), static_cast<uint32_t>(value));
          break;
        case 2:  // "I64"
          args.emplace_back(isSigned ? FormatArg(static_cast<int64_t>(value)) : FormatArg(value));
          platformSpec += std::string("I64") + conversion;
          snprintf(host, sizeof host, (hostSpec + "ll" + conversion).c_str(), static_cast<unsigned long long>(value));
          break;
        default:  // "h"
          args.emplace_back(isSigned ? FormatArg(static_cast<int16_t>(value))
                                     : FormatArg(static_cast<uint16_t>(value)));
          platformSpec += std::string("h") + conversion;
          snprintf(host, sizeof host, (hostSpec + "h" + conversion).c_str(), static_cast<unsigned>(value & 0xFFFF));
          break;
      }
    }
    platformFormat += platformSpec;
    expected += host;
  }

  const std::string rendered = FormatPlatformText(platformFormat.c_str(), args);
  if (rendered != expected) {
    fprintf(stderr, "format \"%s\": rendered \"%s\", expected \"%s\"\n", platformFormat.c_str(), rendered.c_str(),
            expected.c_str());
    abort();
  }
  return 0;
}
