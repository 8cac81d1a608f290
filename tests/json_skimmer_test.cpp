// The skimmer that Verrick passes over the organisation with: where a value
// ends, whatever falls on the edges of the 64-byte blocks it reads.
#include "platform/emulation/runtime/json_skimmer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using emulation::JsonValueEnd;
using emulation::kNoPosition;

// Each tricky piece of string at every offset across two block edges: the
// value ends where it ends, not at a bracket or quote inside a string.
TEST(JsonSkimmer, FindsTheEndWhereverStringsAndEscapesFall) {
  const char* const pieces[] = {
      R"(\"]})",      // an escaped quote before brackets
      R"(\\)",        // an escaped backslash: the quote after it ends the string
      R"(\\\"[)",     // an escaped backslash, then an escaped quote
      R"(a\u0022b)",  // a quote spelt as an escape sequence
      R"(}]{[)",      // brackets inside a string
  };
  for (const char* piece : pieces)
    for (size_t pad = 0; pad < 140; ++pad) {
      const std::string value = R"({"k": [")" + std::string(pad, 'x') + piece + R"(", {"n": [1, 2]}], "m": "]"})";
      const std::string text = value + R"(, "after": "}")";
      EXPECT_EQ(JsonValueEnd(text, 0, 64), value.size()) << piece << " after " << pad;
    }
}

TEST(JsonSkimmer, RecordsTheContainersDirectlyInside) {
  const std::string text = R"([{"a": [1]}, [2, {"b": "]"}], {}] )";
  std::vector<size_t> inner;
  EXPECT_EQ(emulation::JsonContainerEnd(text, 0, 64, inner), text.size() - 1);
  const std::vector<size_t> expected = {1, 11, 13, 28, 30, 32};
  EXPECT_EQ(inner, expected);
}

TEST(JsonSkimmer, RefusesWhatDoesNotEnd) {
  struct Case {
    std::string text;
    int depthLimit;
  };
  const Case cases[] = {
      {R"({"a": "open)", 64},
      {R"({"a": "escaped end\"})", 64},
      {R"({"a": [1, 2})", 64},
      {std::string(64, '[') + std::string(64, ']'), 63},  // one level too deep
      {std::string(200000, '['), 64},
      {"]", 64},
      {"", 64},
  };
  for (const Case& c : cases) EXPECT_EQ(JsonValueEnd(c.text, 0, c.depthLimit), kNoPosition) << c.text.substr(0, 40);
  EXPECT_EQ(JsonValueEnd(std::string(64, '[') + std::string(64, ']'), 0, 64), 128u);
  EXPECT_EQ(JsonValueEnd("12.5e3, 1", 0, 64), 6u);
  EXPECT_EQ(JsonValueEnd(R"("a\\\"b" ,)", 0, 64), 8u);
}

TEST(JsonSkimmer, FindsTextInAnyLetterCase) {
  const std::string text = std::string(100, '.') + "Ann@Test.Example" + std::string(3, '.') + "ann@test.example.";
  EXPECT_EQ(emulation::FindIgnoringCase(text, 0, text.size(), "ann@test.example"), 100u);
  EXPECT_EQ(emulation::FindIgnoringCase(text, 101, text.size(), "ANN@TEST.EXAMPLE"), 119u);
  EXPECT_EQ(emulation::FindIgnoringCase(text, 101, 134, "ann@test.example"), kNoPosition);
  EXPECT_EQ(emulation::FindIgnoringCase(text, 101, 135, "ann@test.example"), 119u);
  EXPECT_EQ(emulation::FindIgnoringCase("a", 0, 1, "ab"), kNoPosition);
  // Every start position, on both sides of the last full round.
  for (size_t at = 0; at + 3 <= 80; ++at) {
    std::string haystack(80, '-');
    haystack.replace(at, 3, "X@y");
    EXPECT_EQ(emulation::FindIgnoringCase(haystack, 0, haystack.size(), "x@Y"), at);
  }
}

}  // namespace
