// The one seam through which the tool prints to the console. It renders the
// platform printf's formats itself, so that both platforms print the same
// bytes: "%I64x" for 64-bit values, "%S" for wide strings, "%lx" for 32-bit
// values (LONG is 32-bit on the platform), and "(null)" for a null "%s" or
// "%S".
#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "platform/sdk.h"

class FormatArg {
 public:
  enum class Kind { Integer, Narrow, Wide };

  // Implicit, so that argument lists convert.
  template <std::integral T>
  FormatArg(T value)  // NOLINT(google-explicit-constructor)
      : kind_(Kind::Integer), isSigned_(std::is_signed_v<T>), size_(sizeof(T)) {
    integer_ = isSigned_ ? static_cast<uint64_t>(static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  }
  FormatArg(const char* text) : kind_(Kind::Narrow), narrow_(text) {}  // NOLINT(google-explicit-constructor)
  FormatArg(const WCHAR* text) : kind_(Kind::Wide), wide_(text) {}     // NOLINT(google-explicit-constructor)

  Kind kind() const { return kind_; }
  // The value as a printf conversion of the given byte width reads it:
  // narrowed, or widened with the sign of the argument's own type.
  uint64_t IntegerAs(size_t width) const;
  const char* narrow() const { return narrow_; }
  const WCHAR* wide() const { return wide_; }

 private:
  Kind kind_;
  bool isSigned_ = false;
  size_t size_ = 0;
  uint64_t integer_ = 0;
  const char* narrow_ = nullptr;
  const WCHAR* wide_ = nullptr;
};

// Renders format with args as the platform's printf does.
std::string FormatPlatformText(const char* format, std::span<const FormatArg> args);

// Writes text unchanged to standard output.
void WriteConsoleText(const std::string& text);

template <typename... Args>
void ConsolePrintf(const char* format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  WriteConsoleText(FormatPlatformText(format, std::span<const FormatArg>(list, sizeof...(Args))));
}
