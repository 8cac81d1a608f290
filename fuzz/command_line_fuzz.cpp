// The command line of the web-services probe: whatever the three values
// hold, the emulated C runtime's splitter gives back the program name and
// exactly those three values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/emulation/win32/process_control.h"
#include "webprobe/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Three C strings, separated by NULs.
  std::vector<std::string> values(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != '\0') {
      values.back() += static_cast<char>(data[i]);
    } else if (values.size() == 3) {
      break;
    } else {
      values.emplace_back();
    }
  }
  values.resize(3);

  // As the probe builds it: the address unquoted where it can be, the
  // display name and the report file always between quotes.
  const std::string line = "\"Verrick\" " + QuoteIfNeeded(values[0]) + " \"" + EscapeForQuotes(values[1]) + "\" \"" +
                           EscapeForQuotes(values[2]) + "\"";
  const std::vector<std::string> expected = {"Verrick", values[0], values[1], values[2]};
  if (emulation::SplitCommandLine(line) != expected) abort();
  return 0;
}
