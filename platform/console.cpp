#include "platform/console.h"

#include <cstdio>
#include <cstdlib>

#include "platform/text.h"

uint64_t FormatArg::IntegerAs(size_t width) const {
  uint64_t value = integer_;
  if (size_ < sizeof(uint64_t) && !isSigned_) value &= (uint64_t{1} << (size_ * 8)) - 1;
  if (width < sizeof(uint64_t)) value &= (uint64_t{1} << (width * 8)) - 1;
  return value;
}

namespace {

struct Spec {
  bool leftAlign = false;
  bool zeroPad = false;
  bool plusSign = false;
  bool spaceSign = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;
  size_t size = 4;  // bytes of the integer argument as the conversion reads it
};

void Pad(std::string& out, const std::string& body, const Spec& spec, bool numeric) {
  const size_t width = static_cast<size_t>(spec.width);
  if (body.size() >= width) {
    out += body;
  } else if (spec.leftAlign) {
    out += body;
    out.append(width - body.size(), ' ');
  } else if (spec.zeroPad && numeric) {
    // Zeros go after any sign or base prefix.
    size_t prefix = 0;
    if (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) prefix = 1;
    if (body.size() > prefix + 1 && body[prefix] == '0' && (body[prefix + 1] == 'x' || body[prefix + 1] == 'X'))
      prefix += 2;
    out.append(body, 0, prefix);
    out.append(width - body.size(), '0');
    out.append(body, prefix, std::string::npos);
  } else {
    out.append(width - body.size(), ' ');
    out += body;
  }
}

std::string Digits(uint64_t value, unsigned base, bool upper, int precision) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  while (value != 0) {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  }
  if (precision < 0 && text.empty()) text = "0";
  if (precision > 0 && text.size() < static_cast<size_t>(precision))
    text.insert(0, static_cast<size_t>(precision) - text.size(), '0');
  return text;
}

std::string Integer(const FormatArg& arg, char conversion, const Spec& spec) {
  uint64_t value = arg.IntegerAs(spec.size);
  std::string body;
  if (conversion == 'd' || conversion == 'i') {
    const unsigned shift = static_cast<unsigned>(64 - spec.size * 8);
    const int64_t signedValue = static_cast<int64_t>(value << shift) >> shift;
    const uint64_t magnitude = signedValue < 0 ? 0 - static_cast<uint64_t>(signedValue) : value;
    body = Digits(magnitude, 10, false, spec.precision);
    if (signedValue < 0)
      body.insert(0, 1, '-');
    else if (spec.plusSign)
      body.insert(0, 1, '+');
    else if (spec.spaceSign)
      body.insert(0, 1, ' ');
  } else if (conversion == 'u') {
    body = Digits(value, 10, false, spec.precision);
  } else if (conversion == 'o') {
    body = Digits(value, 8, false, spec.precision);
    if (spec.alternate && body[0] != '0') body.insert(0, 1, '0');
  } else {
    const bool upper = conversion == 'X';
    body = Digits(value, 16, upper, spec.precision);
    if (spec.alternate && value != 0) body.insert(0, upper ? "0X" : "0x");
  }
  return body;
}

std::string Text(const FormatArg& arg, char conversion, const Spec& spec) {
  // "%s" takes narrow text and "%S" wide text, as the narrow printf of the
  // platform reads them.
  std::string body;
  if (conversion == 'S')
    body = arg.wide() == nullptr ? "(null)" : NarrowFromWide(arg.wide(), CP_ACP);
  else
    body = arg.narrow() == nullptr ? "(null)" : arg.narrow();
  if (spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision))
    body.resize(static_cast<size_t>(spec.precision));
  return body;
}

// A format this seam cannot render, or arguments that do not fit it, is a
// fault in the tool itself: it stops at once, naming the format, rather
// than print something other than what the format says.
[[noreturn]] void FormatMisuse(const char* format, const std::string& problem) {
  fprintf(stderr, "console: format \"%s\": %s\n", format, problem.c_str());
  fflush(stderr);
  abort();
}

int Number(const char*& p) {
  int value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
  return value;
}

}  // namespace

std::string FormatPlatformText(const char* format, std::span<const FormatArg> args) {
  std::string out;
  size_t next = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == '-')
        spec.leftAlign = true;
      else if (*p == '0')
        spec.zeroPad = true;
      else if (*p == '+')
        spec.plusSign = true;
      else if (*p == ' ')
        spec.spaceSign = true;
      else if (*p == '#')
        spec.alternate = true;
      else
        break;
    }
    spec.width = Number(p);
    if (*p == '.') {
      ++p;
      spec.precision = Number(p);
    }
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      spec.size = 8;
      p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
      spec.size = 4;
      p += 3;
    } else if (p[0] == 'l' && p[1] == 'l') {
      spec.size = 8;
      p += 2;
    } else if (p[0] == 'h') {
      spec.size = 2;
      ++p;
    } else if (p[0] == 'l') {
      spec.size = 4;  // LONG is 32-bit on the platform
      ++p;
    }
    const char conversion = *p;
    const bool known = conversion == 'd' || conversion == 'i' || conversion == 'u' || conversion == 'o' ||
                       conversion == 'x' || conversion == 'X' || conversion == 'c' || conversion == 's' ||
                       conversion == 'S';
    if (!known) {
      if (conversion == '\0') --p;
      FormatMisuse(format, "unknown conversion \"" + std::string(start, p + 1) + "\"");
    }
    if (next >= args.size()) FormatMisuse(format, "more conversions than arguments");
    const FormatArg& arg = args[next++];
    const FormatArg::Kind wanted = conversion == 's'   ? FormatArg::Kind::Narrow
                                   : conversion == 'S' ? FormatArg::Kind::Wide
                                                       : FormatArg::Kind::Integer;
    if (arg.kind() != wanted)
      FormatMisuse(format, "argument " + std::to_string(next) + " does not fit \"" + std::string(start, p + 1) + "\"");
    if (conversion == 's' || conversion == 'S') {
      Pad(out, Text(arg, conversion, spec), spec, false);
    } else if (conversion == 'c') {
      Pad(out, std::string(1, static_cast<char>(arg.IntegerAs(1))), spec, false);
    } else {
      Pad(out, Integer(arg, conversion, spec), spec, spec.precision < 0);
    }
  }
  if (next != args.size()) FormatMisuse(format, "more arguments than conversions");
  return out;
}

void WriteConsoleText(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stdout);
  fflush(stdout);
}
