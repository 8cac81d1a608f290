// The transcript table (tests/transcripts/cases.json): each case is an
// organisation with its changes (a JSON Patch on a file of
// tests/organisations, or the built-in sample), the arguments, the dialog
// answers, and the standard output after the banner and the exit code that
// the tool must give. The Linux build runs every case; the Windows build
// runs the same cases under Wine (tests/wine/transcripts.sh runs the
// "Wine/*" tests) and must print the same bytes once CR LF is LF. A case
// that cannot run there says why in "linuxOnly"; one whose output must
// differ there gives "windowsStdout" and the reason in "windowsWhy". Every
// run must leave the ledger empty: the platform reports anything held or
// released twice on standard error, which must stay empty.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "report_expectations.h"
#include "tool_runner.h"

namespace {

using Json = nlohmann::json;

struct TranscriptCase {
  std::string name;
  std::string organisation;  // the file's text; empty for the built-in sample
  std::vector<std::string> args;
  std::string input;
  std::string expected;
  int exitCode = 0;
  std::string linuxOnly;
  std::optional<std::string> windowsExpected;
};

void PrintTo(const TranscriptCase& transcript, std::ostream* out) { *out << transcript.name; }

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<TranscriptCase> LoadCases() {
  const Json table = Json::parse(ReadFile(CALDROSE_TRANSCRIPTS));
  std::vector<TranscriptCase> cases;
  for (const Json& entry : table) {
    TranscriptCase c;
    c.name = entry.at("name").get<std::string>();
    if (!entry.at("organisation").is_null()) {
      Json organisation =
          Json::parse(ReadFile(std::string(CALDROSE_TEST_DATA) + "/" + entry.at("organisation").get<std::string>()));
      if (entry.contains("patch")) organisation = organisation.patch(entry.at("patch"));
      c.organisation = organisation.dump(2);
    }
    c.args = entry.value("args", std::vector<std::string>{});
    c.input = entry.at("input").get<std::string>();
    c.expected = entry.at("stdout").get<std::string>();
    c.exitCode = entry.at("exitCode").get<int>();
    c.linuxOnly = entry.value("linuxOnly", "");
    if (entry.contains("windowsStdout")) {
      if (!entry.contains("windowsWhy")) throw std::runtime_error(c.name + ": windowsStdout without windowsWhy");
      c.windowsExpected = entry.at("windowsStdout").get<std::string>();
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

ToolRun RunCase(const TranscriptCase& c, Build build) {
  if (c.organisation.empty()) return RunTool(build, c.args, "", c.input);
  TemporaryFile file(c.organisation);
  return RunTool(build, c.args, file.path(), c.input);
}

class Transcript : public testing::TestWithParam<TranscriptCase> {};
class WineTranscript : public testing::TestWithParam<TranscriptCase> {};

TEST_P(Transcript, PrintsItsOutputAndCleansUp) {
  const TranscriptCase& c = GetParam();
  const ToolRun run = RunCase(c, Build::Linux);
  EXPECT_EQ(run.out, std::string(kBanner) + c.expected);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, c.exitCode);
  ExpectReport("Table/" + c.name, run.out);
}

TEST_P(WineTranscript, PrintsTheSameOutputAndCleansUp) {
  const TranscriptCase& c = GetParam();
  if (!CanRun(Build::Windows)) GTEST_SKIP() << "run by tests/wine/transcripts.sh";
  if (!c.linuxOnly.empty()) GTEST_SKIP() << c.linuxOnly;
  const ToolRun run = RunCase(c, Build::Windows);
  EXPECT_EQ(run.out, std::string(kBanner) + c.windowsExpected.value_or(c.expected));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, c.exitCode);
}

const std::vector<TranscriptCase> kCases = LoadCases();

std::string NameOf(const testing::TestParamInfo<TranscriptCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, Transcript, testing::ValuesIn(kCases), NameOf);
INSTANTIATE_TEST_SUITE_P(Wine, WineTranscript, testing::ValuesIn(kCases), NameOf);

}  // namespace
