// Runs the built tool as a separate process, as an administrator would,
// and captures what it prints.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ToolRun {
  std::string out;
  std::string err;
  int exitCode = -1;
};

// The build a transcript runs: the Linux one, or the Windows one under
// Wine, in the prefix that tests/wine/transcripts.sh prepares and names in
// CALDROSE_WINE_PREFIX.
enum class Build { Linux, Windows };

// Whether build can run here; the Windows build only from
// tests/wine/transcripts.sh.
bool CanRun(Build build);

// Runs the tool with args on the organisation file (none: the built-in
// one), feeding input to its standard input. The Windows build's CR LF
// comes back as LF.
ToolRun RunTool(Build build, const std::vector<std::string>& args, const std::string& organisationFile,
                const std::string& input);
inline ToolRun RunTool(const std::vector<std::string>& args, const std::string& organisationFile,
                       const std::string& input) {
  return RunTool(Build::Linux, args, organisationFile, input);
}

// The same for any command line, argv[0] looked up in PATH: the Windows
// build runs as "wine C:\caldrose\caldrose.exe ...".
ToolRun RunCommand(const std::vector<std::string>& argv, const std::string& organisationFile, const std::string& input);

// Transcript tests that run on both builds derive their fixture from this
// and are instantiated twice: "Native" on the Linux build and "Wine" on the
// Windows build (ctest leaves "Wine/*" to tests/wine/transcripts.sh).
class OnEachBuild : public testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    if (!CanRun(GetParam())) GTEST_SKIP() << "run by tests/wine/transcripts.sh";
  }
};
std::string BuildName(const testing::TestParamInfo<Build>& info);
#define CALDROSE_ON_EACH_BUILD(Suite)                                                \
  INSTANTIATE_TEST_SUITE_P(Native, Suite, testing::Values(Build::Linux), BuildName); \
  INSTANTIATE_TEST_SUITE_P(Wine, Suite, testing::Values(Build::Windows), BuildName)

// A file that exists for the length of one test.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& content);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The banner every run starts with.
extern const char kBanner[];
