// The web-services probe, run in-process against the real Verrick that
// stands beside the test program: what it prints, what it asks of the
// platform, and what Verrick receives.
#include "webprobe/web_services_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "in_process.h"
#include "platform/emulation/control.h"
#include "platform/emulation/runtime/web_services_index.h"
#include "platform/emulation/win32/process_control.h"
#include "platform/sdk.h"
#include "tool_runner.h"

namespace {

// Two mailboxes on two servers; only HOST1's web services are reachable.
constexpr const char* kAddressBook = R"(
  "addressBook": [
    {"key": "ann", "displayName": "Ann Lee",
     "homeMdb": "/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=HOST1/cn=Microsoft Private MDB",
     "proxyAddresses": ["X400:c=US;a= ;p=Test;", "SMTP:ann@test.example"]},
    {"key": "bob", "displayName": "Bob Hale",
     "homeMdb": "/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=HOST2/cn=Microsoft Private MDB",
     "proxyAddresses": ["smtp:bob@test.example"]}
  ])";

std::string Organisation(const std::string& verrick, const std::string& more = "") {
  return "{" + std::string(kAddressBook) + R"(, "verrick": )" + verrick + more + "}";
}

// Verrick's settings with the two servers and mailboxes given as JSON.
std::string Verrick(const std::string& mailboxes = "[]") {
  return R"({"servers": [
      {"name": "HOST1", "endpoint": "https://host1.test.example/ews"},
      {"name": "HOST2", "endpoint": "https://host2.test.example/ews", "reachable": false}],
    "mailboxes": )" +
         mailboxes + "}";
}

std::string AnnsReport(const std::string& displayName = "Ann Lee") {
  return "Verrick web services check\n"
         "Display name: " +
         displayName +
         "\nAddress: ann@test.example\n"
         "Mailbox: found on server HOST1\n"
         "Web services: https://host1.test.example/ews is reachable\n"
         "Operator access: allowed\n"
         "Result: passed\n";
}

constexpr const char* kAnnAllowed = R"([{"address": "ann@test.example", "operatorAccess": true}])";

std::string Hex(const std::string& bytes) {
  std::string hex;
  char pair[3];
  for (const char c : bytes) {
    snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

std::string Pattern(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes += static_cast<char>(i % 251);
  return bytes;
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class WebServicesProbe : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/caldrose-probe-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    temporaryDirectory_ = name;
    setenv("TMP", name, 1);
  }

  void TearDown() override {
    if (started_) StopEmulatedPlatform();
    organisationFile_.reset();
    unsetenv("CALDROSE_ORGANISATION");
    unsetenv("TMP");
    // No child may outlive a test; one that does is ended here so that the
    // next test starts clean.
    EXPECT_EQ(emulation::RunningChildProcesses(), std::vector<int>{});
    for (const int pid : emulation::RunningChildProcesses()) kill(pid, SIGKILL);
    emulation::AwaitChildProcesses(5000);
    EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{}) << "the probe leaves no report file behind";
    for (const std::string& file : TemporaryFiles()) unlink((temporaryDirectory_ + "/" + file).c_str());
    rmdir(temporaryDirectory_.c_str());
  }

  // Verrick reads the organisation from the file the environment names,
  // as the child of the tool inherits it.
  void Start(const std::string& organisation) {
    organisationFile_ = std::make_unique<TemporaryFile>(organisation);
    setenv("CALDROSE_ORGANISATION", organisationFile_->path().c_str(), 1);
    StartEmulatedPlatform(organisation);
    started_ = true;
  }

  std::string Probe(const char* smtpAddress, const char* displayName) {
    testing::internal::CaptureStdout();
    RunWebServicesProbe(smtpAddress, displayName);
    return testing::internal::GetCapturedStdout();
  }

  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> files;
    if (DIR* listing = opendir(temporaryDirectory_.c_str())) {
      while (const dirent* entry = readdir(listing))
        if (entry->d_name[0] != '.') files.emplace_back(entry->d_name);
      closedir(listing);
    }
    return files;
  }

  // The probe's calls, with the temporary directory and the file's number
  // made constant.
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    const std::regex reportFile(temporaryDirectory_ + "/Ver[0-9A-F]{1,4}\\.tmp");
    for (std::string call : emulation::CallTrace()) {
      if (call.starts_with("MAPIInitialize(")) continue;
      call = std::regex_replace(call, reportFile, "TMP/VerN.tmp");
      calls.push_back(std::regex_replace(call, std::regex(temporaryDirectory_), "TMP"));
    }
    return calls;
  }

  size_t CallsOf(const std::string& operation) const {
    size_t count = 0;
    for (const std::string& call : emulation::CallTrace()) count += call.starts_with(operation + "(") ? 1 : 0;
    return count;
  }

  std::string temporaryDirectory_;
  std::unique_ptr<TemporaryFile> organisationFile_;
  bool started_ = false;
};

TEST_F(WebServicesProbe, RunsVerrickAndCopiesItsReportWithTheseCalls) {
  Start(Organisation(Verrick(kAnnAllowed)));
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), AnnsReport());
  const std::vector<std::string> expected = {
      "GetTempPathA(260)",
      "GetTempFileNameA(\"TMP/\", \"Verrick\", 0)",
      // No application name, handles inherited, no flags, this process's
      // environment and directory, the start-up record's own size.
      "CreateProcessA(null, \"\"Verrick\" ann@test.example \"Ann Lee\" \"TMP/VerN.tmp\"\", null, null, 1, 0x0, null, "
      "null, cb " +
          std::to_string(sizeof(STARTUPINFOA)) + ", record)",
      "CloseHandle(thread)",
      "WaitForSingleObject(process, 60000)",
      "CloseHandle(process)",
      // Read access, no sharing, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL.
      "CreateFileA(\"TMP/VerN.tmp\", 0x80000000, 0x0, null, 3, 0x80, null)",
      "ReadFile(file, 4096, null)",
      "CloseHandle(file)",
      "DeleteFileA(\"TMP/VerN.tmp\")",
  };
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(sizeof(STARTUPINFOA), 104u) << "the 64-bit record";
}

// A Verrick the tool starts reads its mailbox through the index that the
// platform made of the organisation file and shares while it is loaded;
// once the file changes, Verrick reads the new version itself.
TEST_F(WebServicesProbe, VerrickReadsThroughTheIndexOfTheFileThePlatformLoaded) {
  organisationFile_ = std::make_unique<TemporaryFile>(Organisation(Verrick(kAnnAllowed)));
  setenv("CALDROSE_ORGANISATION", organisationFile_->path().c_str(), 1);
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  started_ = true;
  const char* shared = getenv(emulation::kWebServicesIndexVariable);
  ASSERT_NE(shared, nullptr);
  const int fd = atoi(shared);
  const auto indexedView = [&] {
    const emulation::InheritedWebServicesIndex index;  // as Verrick finds it
    const emulation::OrganisationFile file(organisationFile_->path(), emulation::OrganisationFile::Reading::Parts);
    return emulation::ReadIndexedWebServicesView(file.text(), file.identity(), index.text(), "ann@test.example");
  };
  const auto view = indexedView();
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view->addressBook.at(0).key, "ann");
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), AnnsReport());

  std::ofstream(organisationFile_->path(), std::ios::trunc)
      << Organisation(R"({"servers": [{"name": "HOST1", "endpoint": "https://host1.test.example/ews",
                                       "reachable": false}]})");
  EXPECT_FALSE(indexedView().has_value());
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"),
            "Verrick web services check\nDisplay name: Ann Lee\nAddress: ann@test.example\n"
            "Mailbox: found on server HOST1\nWeb services: https://host1.test.example/ews is not reachable\n"
            "Result: failed\n");

  StopEmulatedPlatform();
  started_ = false;
  EXPECT_EQ(getenv(emulation::kWebServicesIndexVariable), nullptr);
  EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the index's file is closed with the run";
}

TEST_F(WebServicesProbe, VerricksReportSaysWhatItFound) {
  struct Case {
    const char* address;
    const char* findings;
  };
  const Case cases[] = {
      {"ann@test.example",
       "Mailbox: found on server HOST1\nWeb services: https://host1.test.example/ews is reachable\n"
       "Operator access: allowed\nResult: passed\n"},
      // Letter case does not matter in addresses.
      {"ANN@Test.Example",
       "Mailbox: found on server HOST1\nWeb services: https://host1.test.example/ews is reachable\n"
       "Operator access: allowed\nResult: passed\n"},
      {"bob@test.example",
       "Mailbox: found on server HOST2\nWeb services: https://host2.test.example/ews is not reachable\n"
       "Result: failed\n"},
      {"nobody@test.example", "Mailbox: no mailbox has this address\nResult: failed\n"},
  };
  Start(Organisation(Verrick(kAnnAllowed)));
  for (const Case& c : cases)
    EXPECT_EQ(Probe(c.address, "Someone"), "Verrick web services check\nDisplay name: Someone\nAddress: " +
                                               std::string(c.address) + "\n" + c.findings);
  StopEmulatedPlatform();

  // A server without an endpoint, and a mailbox the operator may not reach.
  Start(Organisation(R"({"servers": [{"name": "HOST1", "endpoint": "https://host1.test.example/ews"}]})"));
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"),
            "Verrick web services check\nDisplay name: Ann Lee\nAddress: ann@test.example\n"
            "Mailbox: found on server HOST1\nWeb services: https://host1.test.example/ews is reachable\n"
            "Operator access: denied\nResult: failed\n");
  EXPECT_EQ(Probe("bob@test.example", "Bob Hale"),
            "Verrick web services check\nDisplay name: Bob Hale\nAddress: bob@test.example\n"
            "Mailbox: found on server HOST2\nWeb services: no endpoint is configured for HOST2\nResult: failed\n");
}

TEST_F(WebServicesProbe, CopiesTheReportInWholeReadsWhateverItHolds) {
  struct Case {
    const char* name;
    std::string report;
    size_t reads;  // the last one returns less than 4,096 bytes, often none
  };
  const Case cases[] = {
      {"empty", "", 1},
      {"one byte short of a read", Pattern(4095), 1},
      {"exactly one read", Pattern(4096), 2},
      {"exactly three reads", Pattern(3 * 4096), 4},
      {"longer", Pattern(10000), 3},
      {"not text", std::string("\0\xff\r\n\x1b[2J\x80 end", 12), 1},
  };
  std::string mailboxes = "[";
  for (size_t i = 0; i < std::size(cases); ++i)
    mailboxes += (i == 0 ? "" : ",") + std::string(R"({"address": "m)") + std::to_string(i) +
                 R"(@test.example", "reportBytes": ")" + Hex(cases[i].report) + "\"}";
  Start(Organisation(Verrick(mailboxes + "]")));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const size_t readsBefore = CallsOf("ReadFile");
    const std::string address = "m" + std::to_string(i) + "@test.example";
    EXPECT_EQ(Probe(address.c_str(), "M"), cases[i].report) << cases[i].name;
    EXPECT_EQ(CallsOf("ReadFile") - readsBefore, cases[i].reads) << cases[i].name;
  }
}

TEST_F(WebServicesProbe, CopiesALargeReport) {
  Start(Organisation(Verrick(R"([{"address": "ann@test.example", "operatorAccess": true, "reportSize": 300000}])")));
  const std::string out = Probe("ann@test.example", "Ann Lee");
  EXPECT_EQ(out.size(), 300000u);
  EXPECT_EQ(out.substr(0, AnnsReport().size()), AnnsReport());
  EXPECT_EQ(CallsOf("ReadFile"), 300000u / 4096 + 1);
}

TEST_F(WebServicesProbe, NothingIsCopiedWhenVerrickWritesNothing) {
  // An empty report, and Verrick exiting without writing at all: its exit
  // code is not read, and the empty file is still removed.
  Start(Organisation(Verrick(R"([{"address": "ann@test.example", "report": "empty"},
                                 {"address": "bob@test.example", "report": "none"}])")));
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), "");
  EXPECT_EQ(Probe("bob@test.example", "Bob Hale"), "");
  EXPECT_EQ(CallsOf("DeleteFileA"), 2u);
}

TEST_F(WebServicesProbe, AFailedReadEndsTheCopy) {
  // The first read fails: nothing is copied. For the second mailbox the
  // second read fails: only the first 4,096 bytes are copied. Both files are
  // closed and removed.
  const std::string report = Pattern(10000);
  Start(Organisation(Verrick(R"([{"address": "bob@test.example", "reportBytes": ")" + Hex(report) + "\"}]"),
                     R"(, "faults": [{"operation": "ReadFile", "status": "0x8007001E"},
                                     {"operation": "ReadFile", "occurrence": 3, "status": "0x8007001E"}])"));
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), "");
  EXPECT_EQ(Probe("bob@test.example", "Bob Hale"), report.substr(0, 4096));
  EXPECT_EQ(CallsOf("ReadFile"), 3u);
  EXPECT_EQ(CallsOf("DeleteFileA"), 2u);
}

TEST_F(WebServicesProbe, AToolThatCannotBeStartedIsReportedAndItsFileRemoved) {
  struct Case {
    const char* name;
    std::string organisation;
  };
  const Case cases[] = {
      {"not installed", Organisation(R"({"installed": false})")},
      {"the start fails",
       Organisation(Verrick(), R"(, "faults": [{"operation": "CreateProcessA", "status": "0x80070005"}])")},
  };
  for (const Case& c : cases) {
    Start(c.organisation);
    EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), "Ann Lee: Unable to execute Verrick\n") << c.name;
    const std::vector<std::string> expected = {
        "CloseHandle(null)",
        // A null handle's wait fails at once.
        "WaitForSingleObject(null, 60000)",
        "CloseHandle(null)",
        "CreateFileA(\"TMP/VerN.tmp\", 0x80000000, 0x0, null, 3, 0x80, null)",
        "ReadFile(file, 4096, null)",
        "CloseHandle(file)",
        "DeleteFileA(\"TMP/VerN.tmp\")",
    };
    const std::vector<std::string> calls = Calls();
    ASSERT_EQ(calls.size(), 10u) << c.name;
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 3, calls.end()), expected) << c.name;
    StopEmulatedPlatform();
    started_ = false;
  }
}

TEST_F(WebServicesProbe, WithoutATemporaryFileVerrickIsNotStarted) {
  struct Case {
    const char* name;
    std::string directory;
    std::string faults;
  };
  const Case cases[] = {
      {"no such directory", "/nonexistent/caldrose", ""},
      {"a directory name too long for the buffer", "/tmp/" + std::string(300, 'd'), ""},
      {"GetTempPathA fails", "", R"(, "faults": [{"operation": "GetTempPathA", "status": "0x80070003"}])"},
      {"GetTempFileNameA fails", "", R"(, "faults": [{"operation": "GetTempFileNameA", "status": "0x80070005"}])"},
  };
  for (const Case& c : cases) {
    setenv("TMP", c.directory.empty() ? temporaryDirectory_.c_str() : c.directory.c_str(), 1);
    Start(Organisation(Verrick(), c.faults));
    EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), "Ann Lee: Could not create temporary file for Verrick\n") << c.name;
    EXPECT_EQ(CallsOf("CreateProcessA"), 0u) << c.name;
    StopEmulatedPlatform();
    started_ = false;
  }
}

TEST_F(WebServicesProbe, ATimeOutLeavesVerrickRunningAndCopiesWhatItFinds) {
  // The wait's clock runs 200 times faster: the minute lasts 0.3 seconds.
  // Ann's Verrick hangs before it opens its report, Bob's after it wrote
  // and closed it.
  Start(Organisation(Verrick(R"([
      {"address": "ann@test.example", "hang": {"seconds": 2}},
      {"address": "bob@test.example", "hang": {"seconds": 2, "while": "finished"}}])"),
                     R"(, "waitScale": 0.005)"));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"), "Ann Lee: Unable to execute Verrick\n");
  EXPECT_EQ(emulation::RunningChildProcesses().size(), 1u) << "Verrick is not ended";
  EXPECT_EQ(Probe("bob@test.example", "Bob Hale"),
            "Bob Hale: Unable to execute Verrick\n"
            "Verrick web services check\nDisplay name: Bob Hale\nAddress: bob@test.example\n"
            "Mailbox: found on server HOST2\nWeb services: https://host2.test.example/ews is not reachable\n"
            "Result: failed\n");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(emulation::RunningChildProcesses().size(), 2u);
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{}) << "both files were read and removed";
  // Both end on their own; Ann's finds its report file gone and writes no
  // other.
  EXPECT_TRUE(emulation::AwaitChildProcesses(10000));
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{});
}

TEST_F(WebServicesProbe, AReportFileThatVerrickStillHoldsIsLeftInPlace) {
  Start(Organisation(Verrick(R"([{"address": "ann@test.example", "operatorAccess": true,
                                  "hang": {"seconds": 2, "while": "writing"}}])"),
                     R"(, "waitScale": 0.005)"));
  EXPECT_EQ(Probe("ann@test.example", "Ann Lee"),
            "Ann Lee: Unable to execute Verrick\n"
            "Ann Lee: Could not open temporary file for Verrick\n");
  EXPECT_EQ(CallsOf("ReadFile"), 0u);
  EXPECT_EQ(CallsOf("DeleteFileA"), 0u);
  ASSERT_TRUE(emulation::AwaitChildProcesses(10000));
  // Verrick finished its report into the file that was left behind.
  const std::vector<std::string> left = TemporaryFiles();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(std::regex_match(left[0], std::regex("Ver[0-9A-F]{1,4}\\.tmp"))) << left[0];
  const std::string path = temporaryDirectory_ + "/" + left[0];
  EXPECT_EQ(ReadAll(path), AnnsReport());
  unlink(path.c_str());
}

TEST_F(WebServicesProbe, VerrickReceivesEachValueWhole) {
  // Verrick's report repeats the display name and the address it was given.
  const char* names[] = {
      "Ann Lee", "Ann \"Q\" Lee", "Ann Lee\\", "Ann \\\"Q\\\" Lee\\\\", "\"", "\\", "Lee, Ann\t(Sales)", "Ann\\\\Lee",
  };
  Start(Organisation(Verrick(kAnnAllowed)));
  for (const char* name : names) EXPECT_EQ(Probe("ann@test.example", name), AnnsReport(name)) << name;
  // An address with a space, and an empty one.
  for (const char* address : {"ann lee@test.example", ""})
    EXPECT_EQ(Probe(address, "Ann Lee"),
              "Verrick web services check\nDisplay name: Ann Lee\nAddress: " + std::string(address) +
                  "\nMailbox: no mailbox has this address\nResult: failed\n");
}

}  // namespace
