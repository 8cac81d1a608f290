// Security identifiers as the directory keeps them: the text form
// "S-1-5-21-..." of the organisation file and the binary form the platform
// hands out (revision, sub-authority count, 48-bit authority, 32-bit
// sub-authorities in little-endian order).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The directory compares names as SameText does.
#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/wintypes.h"

namespace emulation {

using Sid = std::vector<BYTE>;

// The binary SID of a text, or none when the text is not a SID.
std::optional<Sid> ParseSid(std::string_view text);
std::string SidText(const Sid& sid);
// The binary SID at sid, or none when the bytes there are not a SID.
std::optional<Sid> ReadBinarySid(const void* sid);

}  // namespace emulation
