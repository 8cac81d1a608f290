// The organisation file reader, whole and as Verrick reads it (the other
// sections passed over): any text is read or refused with an
// OrganisationError that says what is wrong; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/emulation/runtime/organisation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const emulation::Sections sections : {emulation::Sections::All, emulation::Sections::WebServices}) {
    try {
      emulation::ParseOrganisation(text, sections);
    } catch (const emulation::OrganisationError& error) {
      // A refusal must say what is wrong.
      if (error.what()[0] == '\0') abort();
    }
  }
  return 0;
}
