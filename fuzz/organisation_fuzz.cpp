// The organisation file reader: any text is read or refused with an
// OrganisationError that says what is wrong; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/emulation/runtime/organisation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    emulation::ParseOrganisation(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const emulation::OrganisationError& error) {
    // A refusal must say what is wrong.
    if (error.what()[0] == '\0') abort();
  }
  return 0;
}
