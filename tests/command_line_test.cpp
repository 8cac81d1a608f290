// Placing values on a command line, and the emulated platform's splitting
// of command lines and its other Win32 file and process functions.
#include "webprobe/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "in_process.h"
#include "platform/emulation/win32/process_control.h"
#include "platform/sdk.h"

namespace {

using Arguments = std::vector<std::string>;

// The line the probe builds, from its own format.
std::string ProbeCommandLine(const std::string& smtpAddress, const std::string& displayName, const std::string& path) {
  return "\"Verrick\" " + QuoteIfNeeded(smtpAddress) + " \"" + EscapeForQuotes(displayName) + "\" \"" +
         EscapeForQuotes(path) + "\"";
}

TEST(CommandLine, OrdinaryValuesArePlacedAsTheyAre) {
  EXPECT_EQ(ProbeCommandLine("ann@test.example", "Ann Lee", "/tmp/Ver1A2B.tmp"),
            "\"Verrick\" ann@test.example \"Ann Lee\" \"/tmp/Ver1A2B.tmp\"");
  EXPECT_EQ(ProbeCommandLine("a\\b@test.example", "C:\\Users\\ann", "C:\\Temp\\Ver1.tmp"),
            "\"Verrick\" a\\b@test.example \"C:\\Users\\ann\" \"C:\\Temp\\Ver1.tmp\"");
}

TEST(CommandLine, EveryValueSplitsBackWhole) {
  const char* values[] = {
      "plain", "two words",  "tab\there",           "",
      "\"",    "say \"hi\"", "trailing\\",          "trailing\\\\",
      "\\\"",  "a\\\\\"b",   "\\\\server\\share\\", " lead and trail ",
      "\"\"",  "100%s",
  };
  for (const char* address : values)
    for (const char* name : values) {
      const std::string line = ProbeCommandLine(address, name, "/tmp/dir with space/Ver1.tmp");
      EXPECT_EQ(emulation::SplitCommandLine(line),
                (Arguments{"Verrick", address, name, "/tmp/dir with space/Ver1.tmp"}))
          << line;
    }
}

TEST(CommandLine, SplitsAsThePlatformsRuntimeDoes) {
  struct Case {
    const char* line;
    Arguments arguments;
  };
  const Case cases[] = {
      // The program name: quotes group, backslashes are plain.
      {"\"C:\\Program Files\\tool\" x", {"C:\\Program Files\\tool", "x"}},
      {"tool\\\" a\" b", {"tool\\ a", "b"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      // Arguments: backslashes count only before a quote.
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},
      {"p \"a \"\"b\"\" c\"", {"p", "a \"b\" c"}},
      {"p \"\" \t x", {"p", "", "x"}},
      {"p   ", {"p"}},
      {"p \"open", {"p", "open"}},
  };
  for (const Case& c : cases) EXPECT_EQ(emulation::SplitCommandLine(c.line), c.arguments) << c.line;
}

class EmulatedWin32 : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/caldrose-win32-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
    StartEmulatedPlatform("{}");
  }
  void TearDown() override {
    StopEmulatedPlatform();
    EXPECT_TRUE(emulation::AwaitChildProcesses(5000));
    std::system(("rm -rf '" + directory_ + "'").c_str());
  }

  std::string directory_;
};

TEST_F(EmulatedWin32, TemporaryFileNamesAreUniqueAndTheFilesEmpty) {
  char first[MAX_PATH];
  char second[MAX_PATH];
  const UINT one = GetTempFileNameA(directory_.c_str(), "Verrick", 0, first);
  const UINT two = GetTempFileNameA((directory_ + "/").c_str(), "Verrick", 0, second);
  ASSERT_NE(one, 0u);
  ASSERT_NE(two, 0u);
  EXPECT_NE(std::string(first), std::string(second));
  char expected[MAX_PATH];
  snprintf(expected, sizeof expected, "%s/Ver%X.tmp", directory_.c_str(), one);
  EXPECT_EQ(std::string(first), expected);
  struct stat status {};
  ASSERT_EQ(stat(second, &status), 0);
  EXPECT_EQ(status.st_size, 0);
  // A given number names a file without creating it.
  char named[MAX_PATH];
  EXPECT_EQ(GetTempFileNameA(directory_.c_str(), "ab", 0x12345, named), 0x12345u);
  EXPECT_EQ(std::string(named), directory_ + "/ab2345.tmp");
  EXPECT_NE(stat(named, &status), 0);
  // A directory that does not exist.
  EXPECT_EQ(GetTempFileNameA((directory_ + "/none").c_str(), "Ver", 0, named), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

TEST_F(EmulatedWin32, AFileOpenedWithoutSharingCannotBeOpenedAgainOrDeleted) {
  const std::string path = directory_ + "/report.txt";
  std::ofstream(path) << "text";
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const DWORD share : {0u, static_cast<unsigned>(FILE_SHARE_READ)}) {
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(CloseHandle(held));
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(EmulatedWin32, ANullHandleFailsAtOnce) {
  EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// Runs commandLine from directory (as the current one) and returns what the
// started program wrote into the file "ran" there.
std::string RunFrom(const std::string& directory, std::string commandLine) {
  char previous[4096];
  EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
  EXPECT_EQ(chdir(directory.c_str()), 0);
  STARTUPINFOA startupInfo{};
  startupInfo.cb = sizeof startupInfo;
  PROCESS_INFORMATION processInfo{};
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startupInfo, &processInfo);
  const DWORD lookupError = GetLastError();
  EXPECT_EQ(chdir(previous), 0);
  if (!started) return "not started: " + std::to_string(lookupError);
  EXPECT_EQ(WaitForSingleObject(processInfo.hProcess, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(processInfo.hThread);
  CloseHandle(processInfo.hProcess);
  std::ifstream file(directory + "/ran");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteScript(const std::string& path, const std::string& marker) {
  std::ofstream(path) << "#!/bin/sh\necho " << marker << " \"$@\" > ran\n";
  chmod(path.c_str(), 0755);
}

TEST_F(EmulatedWin32, ProgramsAreLookedUpInThePlatformsOrder) {
  // The running program's own directory comes before the current one:
  // Verrick stands beside the test program, so a Verrick here is not run;
  // the real one writes its report into the file "ran".
  WriteScript(directory_ + "/Verrick", "current");
  std::ofstream(directory_ + "/ran").close();
  EXPECT_TRUE(RunFrom(directory_, "\"Verrick\" a b ran").starts_with("Verrick web services check\n"));
  // The current directory; ".exe" first, then the bare name; letter case
  // does not matter.
  WriteScript(directory_ + "/helper", "bare");
  EXPECT_EQ(RunFrom(directory_, "\"HELPER\" x \"y z\""), "bare x y z\n");
  WriteScript(directory_ + "/helper.exe", "exe");
  EXPECT_EQ(RunFrom(directory_, "helper x"), "exe x\n");
  // The search path.
  EXPECT_EQ(RunFrom(directory_, "sh -c \"echo path > ran\""), "path\n");
  // Nowhere.
  EXPECT_EQ(RunFrom(directory_, "\"no-such-program\""), "not started: 2");
}

}  // namespace
