#include "webprobe/command_line.h"

std::string EscapeForQuotes(std::string_view value) {
  std::string text;
  size_t backslashes = 0;
  for (const char c : value) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      text.append(backslashes * 2 + 1, '\\');
    } else {
      text.append(backslashes, '\\');
    }
    backslashes = 0;
    text += c;
  }
  // The closing quote follows these.
  text.append(backslashes * 2, '\\');
  return text;
}

std::string QuoteIfNeeded(std::string_view value) {
  if (!value.empty() && value.find_first_of(" \t\"") == std::string_view::npos) return std::string(value);
  std::string quoted(1, '"');
  quoted += EscapeForQuotes(value);
  quoted += '"';
  return quoted;
}
