// The printing seam renders the platform printf's formats the same way on
// every platform.
#include <gtest/gtest.h>

#include "platform/console.h"

namespace {

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return FormatPlatformText(format, std::span<const FormatArg>(list, sizeof...(Args)));
}

TEST(ConsoleFormat, StatusesAsTheDriverAndTheDirectoryPrintThem) {
  const HRESULT failure = static_cast<HRESULT>(0x80004005);
  const HRESULT warning = 0x00040380;
  EXPECT_EQ(Format("(%08lx)", failure), "(80004005)");
  EXPECT_EQ(Format("(%08lx)", warning), "(00040380)");
  EXPECT_EQ(Format("(%08lx)", S_OK), "(00000000)");
  // "%I64x" takes 64 bits: a status widens with its sign, an unsigned
  // value without.
  EXPECT_EQ(Format("%I64x", static_cast<LONGLONG>(failure)), "ffffffff80004005");
  EXPECT_EQ(Format("%I64x", failure), "ffffffff80004005");
  EXPECT_EQ(Format("%I64x", static_cast<ULONG>(0x80004005)), "80004005");
  EXPECT_EQ(Format("%I64x", static_cast<LONGLONG>(S_OK)), "0");
  EXPECT_EQ(Format("%I64x", static_cast<WORD>(8)), "8");
  // "%0X" and "%0lX": upper case, no padding.
  EXPECT_EQ(Format("0x%0X", static_cast<HRESULT>(0x80040E4D)), "0x80040E4D");
  EXPECT_EQ(Format("0x%0lX", 0x1A), "0x1A");
  EXPECT_EQ(Format("(0x%08lx)", static_cast<HRESULT>(0x800401F3)), "(0x800401f3)");
  EXPECT_EQ(Format("%04x", static_cast<WORD>(0xE4D)), "0e4d");
  EXPECT_EQ(Format("#%d", 3149), "#3149");
  EXPECT_EQ(Format("%d", -7), "-7");
}

TEST(ConsoleFormat, NarrowAndWideText) {
  const char* none = nullptr;
  const WCHAR* noWide = nullptr;
  EXPECT_EQ(Format("%s: x\n", "Ada Quill"), "Ada Quill: x\n");
  EXPECT_EQ(Format("[%s]", none), "[(null)]");
  EXPECT_EQ(Format("{%S}", OLESTR("TAMBERLYN\\aquill")), "{TAMBERLYN\\aquill}");
  EXPECT_EQ(Format("{%S}", noWide), "{(null)}");
  // Wide text reaches the console in the ANSI code page.
  EXPECT_EQ(Format("%S", OLESTR("Zo\u00eb")), "Zo\u00eb");
  EXPECT_EQ(Format("%s", ""), "");
}

TEST(ConsoleFormat, TextWithoutConversionsStaysAsWritten) {
  EXPECT_EQ(Format("\tSpecifies an optional domain controller name for the LDAP query.\n"),
            "\tSpecifies an optional domain controller name for the LDAP query.\n");
  EXPECT_EQ(Format("100%%"), "100%");
}

// A format the seam cannot render, or arguments that do not fit it, stop
// the tool with a message naming the format: never a silently different
// line, never arguments shifted onto the wrong conversions.
TEST(ConsoleFormatDeathTest, MisuseStopsTheToolNamingTheFormat) {
  EXPECT_DEATH(Format("%p", 1), "console: format \"%p\": unknown conversion \"%p\"");
  EXPECT_DEATH(Format("%ws then %s", OLESTR("w"), "n"), "format \"%ws then %s\": unknown conversion \"%w\"");
  EXPECT_DEATH(Format("%*d", 3, 4), "unknown conversion \"%\\*\"");
  EXPECT_DEATH(Format("%s and %s", "one"), "format \"%s and %s\": more conversions than arguments");
  EXPECT_DEATH(Format("%s", "one", "two"), "more arguments than conversions");
  EXPECT_DEATH(Format("%s", 5), "argument 1 does not fit \"%s\"");
  EXPECT_DEATH(Format("%S", "narrow"), "argument 1 does not fit \"%S\"");
  EXPECT_DEATH(Format("%08lx", "text"), "argument 1 does not fit \"%08lx\"");
  EXPECT_DEATH(Format("trailing %"), "unknown conversion \"%\"");
}

TEST(ConsoleFormat, WidthsAndFlags) {
  EXPECT_EQ(Format("[%5s]", "ab"), "[   ab]");
  EXPECT_EQ(Format("[%-5s]", "ab"), "[ab   ]");
  EXPECT_EQ(Format("[%5d]", -42), "[  -42]");
  EXPECT_EQ(Format("[%05d]", -42), "[-0042]");
  EXPECT_EQ(Format("[%.2s]", "abc"), "[ab]");
  EXPECT_EQ(Format("[%#x]", 255), "[0xff]");
}

}  // namespace
