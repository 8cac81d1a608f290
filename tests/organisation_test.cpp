// Reading the organisation file: what a broken one is told about, and that
// the documented sample is the one built in.
#include "platform/emulation/runtime/organisation.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/emulation/runtime/fault_points.h"

namespace {

std::string ErrorOf(const char* text) {
  try {
    emulation::ParseOrganisation(text);
  } catch (const emulation::OrganisationError& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(Organisation, ABrokenFileNamesTheFieldAndTheProblem) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"[]", "the organisation: expected an object"},
      {R"({"profiles": {}})", "profiles: expected an array"},
      {R"({"profiles": [{"identity": "a"}]})", "profiles[0].name: missing"},
      {R"({"profiles": [{"name": "", "identity": "a"}]})", "profiles[0].name: must not be empty"},
      {R"({"profiles": [{"name": "P", "identity": "a", "stores": [{"default": "yes"}]}]})",
       "profiles[0].stores[0].default: expected true or false"},
      {R"({"addressBook": [{"key": "a", "proxyAddresses": ["SMTP:a@b", 7]}]})",
       "addressBook[0].proxyAddresses[1]: expected a string"},
      {R"({"addressBook": [{"key": "a"}, {"key": "a"}]})", "addressBook[1].key: \"a\" is used twice"},
      {R"({"addressBook": [{"key": "a", "displayname": "A"}]})", "addressBook[0].displayname: unknown field"},
      {R"({"directory": {"adsiProvider": 1}})", "directory.adsiProvider: expected true or false"},
      {R"({"directory": {"users": [{"name": "u", "dn": "CN=u,DC=x", "sid": "S-1-5-21-1"}]}})",
       "directory.namingContext: missing: the directory has users"},
      {R"({"directory": {"namingContext": "DC=x", "users": [{"name": "u", "dn": "CN=u,DC=y", "sid": "S-1-5-1"}]}})",
       "directory.users[0].dn: \"CN=u,DC=y\" is not under the naming context"},
      {R"({"directory": {"accounts": [{"sid": "S-1-x", "name": "a"}]}})",
       "directory.accounts[0].sid: \"S-1-x\" is not a SID such as \"S-1-5-21-1-2-3-500\""},
      {R"({"directory": {"groups": [{"name": "g", "sid": "S-1-5-1", "memberOf": ["h"]}]}})",
       "directory.groups[0].memberOf[0]: no group is named \"h\""},
      {R"({"directory": {"groups": [{"name": "g", "sid": "S-1-5-1"}, {"name": "h", "sid": "S-1-5-1"}]}})",
       "directory.groups[1].sid: SID \"S-1-5-1\" is used twice"},
      {R"({"directory": {"namingContext": "DC=x", "users": [{"name": "u", "dn": "CN=u,DC=x", "sid": "S-1-5-1",
           "dacl": [{"trustee": "S-1-5-9", "aceType": 5}]}]}})",
       "directory.users[0].dacl[0].trustee: SID \"S-1-5-9\" is no user, group or account"},
      {R"({"directory": {"namingContext": "DC=x", "users": [{"name": "u", "dn": "CN=u,DC=x", "sid": "S-1-5-1",
           "dacl": [{"trustee": "S-1-5-1", "aceType": 5, "objectType": "send-as"}]}]}})",
       "directory.users[0].dacl[0].objectType: expected a GUID such as \"{ab721a54-1e2f-11d0-9819-00aa0040529b}\""},
      {R"({"directory": {"users": [{"name": "u", "dn": "CN=u,DC=x", "sid": "S-1-5-1", "mail": "u@x"}]}})",
       "directory.users[0].mail: unknown field"},
      {R"({"faults": [{"operation": "OleRun"}]})", "faults[0].status: missing"},
      {R"({"faults": [{"operation": "OleRun", "status": "80004005"}]})",
       "faults[0].status: expected a status such as \"0x80040111\" or a number"},
      {R"({"faults": [{"operation": "OleRun", "status": "0x800040051"}]})",
       "faults[0].status: expected a status such as \"0x80040111\" or a number"},
      {R"({"faults": [{"operation": "OleRun", "status": 4294967296}]})", "faults[0].status: out of the 32-bit range"},
      {R"({"faults": [{"operation": "OleRun", "status": 1, "occurrence": 0}]})",
       "faults[0].occurrence: expected a whole number from 1"},
      {R"({"profiles": [{"name": "P", "identity": "a"}, {"name": "P", "identity": "a"}],
           "addressBook": [{"key": "a"}]})",
       "profiles[1].name: \"P\" is used twice"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.text), c.error) << c.text;
  EXPECT_EQ(ErrorOf("{\n  \"profiles\": [,]\n}").rfind("not valid JSON: ", 0), 0u);
  // A number beyond any type the reader has is refused, not thrown through.
  EXPECT_EQ(ErrorOf(R"({"waitScale": 1e999})").rfind("not valid JSON: ", 0), 0u);
}

TEST(Organisation, StatusesAreReadAsThePlatformsThirtyTwoBits) {
  const auto organisation = emulation::ParseOrganisation(R"({"faults": [
      {"operation": "OleRun", "status": "0x80040154"},
      {"operation": "OleRun", "status": -2147467259, "occurrence": 2},
      {"operation": "OleRun", "status": 1, "occurrence": 3}]})");
  ASSERT_EQ(organisation.faults.size(), 3u);
  EXPECT_EQ(organisation.faults[0].status, static_cast<HRESULT>(0x80040154));
  EXPECT_EQ(organisation.faults[1].status, static_cast<HRESULT>(0x80004005));
  EXPECT_EQ(organisation.faults[2].status, 1);
  EXPECT_EQ(organisation.faults[2].occurrence, 3u);
}

std::string OrganisationDoc() {
  std::ifstream file(std::string(CALDROSE_TEST_DATA) + "/../../docs/organisation.md");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(Organisation, TheDocumentedOperationsAreTheRegisteredFaultPoints) {
  const std::string doc = OrganisationDoc();
  std::istringstream lines(doc.substr(doc.find("### Operations")));
  std::vector<std::string> documented;
  for (std::string line; std::getline(lines, line) && (documented.empty() || !line.empty());)
    if (line.rfind("- `", 0) == 0) documented.push_back(line.substr(3, line.size() - 4));
  std::vector<std::string> registered;
  for (const emulation::FaultPoint& point : emulation::FaultPoints()) registered.emplace_back(point.operation);
  EXPECT_EQ(documented, registered);
}

TEST(Organisation, TheDocumentedSampleIsTheBuiltInOne) {
  const std::string doc = OrganisationDoc();
  const std::string heading = "## The sample organisation";
  const size_t start = doc.find("```json", doc.find(heading));
  ASSERT_NE(start, std::string::npos);
  const size_t end = doc.find("```", start + 7);
  const std::string example = doc.substr(start + 7, end - start - 7);
  EXPECT_EQ(nlohmann::json::parse(example), nlohmann::json::parse(emulation::kSampleOrganisation));
  EXPECT_NO_THROW(emulation::ParseOrganisation(emulation::kSampleOrganisation));
}

// What reading one text costs, measured in a child process so that the
// peak memory is the reading's own.
struct ReadingCost {
  std::string error;
  double seconds = 0;
  long peakGrowthKiB = 0;
};

template <typename Read>
ReadingCost CostOf(const std::string& text, Read reader) {
  int channel[2];
  if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    std::string error = "(accepted)";
    try {
      reader(text);
    } catch (const emulation::OrganisationError& caught) {
      error = caught.what();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const std::string report =
        std::to_string(elapsed.count()) + " " + std::to_string(after.ru_maxrss - before.ru_maxrss) + " " + error;
    const ssize_t written = write(channel[1], report.data(), report.size());
    _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  close(channel[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<size_t>(got));
  close(channel[0]);
  waitpid(child, nullptr, 0);
  ReadingCost cost;
  std::istringstream fields(report);
  fields >> cost.seconds >> cost.peakGrowthKiB;
  std::getline(fields >> std::ws, cost.error);
  return cost;
}

// Neither reader, the tool's or Verrick's, pays more than the file's size
// for any shape of file: deep nesting is refused at a fixed depth, and a
// long string costs its length.
TEST(Organisation, AnyShapeOfFileCostsAboutItsSize) {
  constexpr size_t kSize = 1024 * 1024;
  std::string deepObjects;
  while (deepObjects.size() < kSize) deepObjects += "{\"a\": ";
  std::string nested64 = "a";
  for (int level = 2; level <= 64; ++level) nested64 += ".a";
  struct Case {
    const char* what;
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"nested arrays", std::string(kSize, '['), "[0]: nested deeper than 64 levels"},
      {"nested objects", deepObjects, nested64 + ": nested deeper than 64 levels"},
      {"one long string", "\"" + std::string(kSize - 2, 'x') + "\"", "the organisation: expected an object"},
      {"one long key", "{\"" + std::string(kSize - 8, 'x') + "\": 1}", "unknown field"},
  };
  const auto full = [](const std::string& text) { emulation::ParseOrganisation(text); };
  const auto verricks = [](const std::string& text) { emulation::ReadWebServicesView(text, "a@b"); };
  for (const Case& c : cases)
    for (const auto& [reader, cost] :
         {std::pair{"full", CostOf(c.text, full)}, std::pair{"Verrick's", CostOf(c.text, verricks)}}) {
      const std::string where = std::string(c.what) + ", " + reader + " read";
      EXPECT_LT(cost.seconds, 1.0) << where;
      EXPECT_LT(cost.peakGrowthKiB, 50 * 1024) << where;
      if (c.error == "unknown field" && std::string(reader) == "Verrick's") {
        EXPECT_EQ(cost.error, "(accepted)") << where << ": the view does not check unknown sections";
        continue;
      }
      EXPECT_TRUE(cost.error.size() >= c.error.size() &&
                  cost.error.compare(cost.error.size() - c.error.size(), c.error.size(), c.error) == 0)
          << where << ": " << cost.error.substr(0, 200);
    }
}

}  // namespace
