// Finds where JSON values end without reading them: strings and brackets are
// followed, nothing is built and nothing else is checked. Large values are
// passed over 64 bytes at a time, so that passing over most of a large file
// costs little more than reading it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace emulation {

constexpr size_t kNoPosition = std::string_view::npos;

// The first position at or after at that is not JSON white space.
size_t SkipJsonSpace(std::string_view text, size_t at);

// One past the end of the JSON value that starts at at (its first byte),
// or kNoPosition when it does not end: a string left open, brackets that
// do not balance, or containers nested deeper than depthLimit levels
// within it.
size_t JsonValueEnd(std::string_view text, size_t at, int depthLimit);

// As JsonValueEnd for the array or object at at; inner receives the start
// and the end of each array or object directly inside it, in order.
size_t JsonContainerEnd(std::string_view text, size_t at, int depthLimit, std::vector<size_t>& inner);

// The first position in [from, to) where needle starts, ASCII letters
// compared without regard to case; kNoPosition when there is none.
size_t FindIgnoringCase(std::string_view text, size_t from, size_t to, std::string_view needle);

}  // namespace emulation
