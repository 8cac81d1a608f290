// Runs the built tool on small organisations and compares what it prints,
// byte for byte, and its exit code. Every run must also leave the emulated
// platform's ledger empty: the platform reports anything still held, and
// anything released twice, on standard error.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "in_process.h"
#include "report_expectations.h"
#include "tool_runner.h"

namespace {

using Json = nlohmann::json;

const char kUsage[] =
    "Usage: Caldrose [Domain Controller Name]\n"
    "\n"
    "[Domain Controller Name]\n"
    "\tSpecifies an optional domain controller name for the LDAP query.\n"
    "\n"
    "This program uses IExchangeManageStore and CDO to open a mailbox.\n"
    "\n"
    "The program prompts the user for a MAPI profile.\n"
    "The user will then be prompted for a mailbox using the Global Address Book.\n"
    "\n"
    "NOTE: if the test fails please refer to the Administration Guide\n"
    "      for Exchange permission information\n"
    "\n";

const char kOpened[] = "Opening Default Message Store Mailbox - Test Operator\n";

Json OperatorOrganisation() { return Json::parse(OperatorOrganisationText()); }

Json Fault(const char* operation, const char* status, unsigned occurrence = 1) {
  return {{"operation", operation}, {"status", status}, {"occurrence", occurrence}};
}

ToolRun RunOn(Build build, const Json& organisation, const std::string& input = "\n\n",
              std::vector<std::string> args = {}) {
  TemporaryFile file(organisation.dump(2));
  return RunTool(build, args, file.path(), input);
}

class Usage : public OnEachBuild {};
class Startup : public OnEachBuild {};
CALDROSE_ON_EACH_BUILD(Usage);
CALDROSE_ON_EACH_BUILD(Startup);

TEST_P(Usage, TwoOrMoreArgumentsPrintTheUsageAndExitWithOne) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"dc1", "extra"}, {"a", "b", "c"}}) {
    // A broken organisation shows that MAPI is never reached.
    TemporaryFile broken("{ not json");
    const ToolRun run = RunTool(GetParam(), args, broken.path(), "");
    EXPECT_EQ(run.out, std::string(kBanner) + kUsage);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 1);
    if (GetParam() == Build::Linux) ExpectReport("Usage/" + args.back(), run.out);
  }
}

TEST_P(Startup, SucceedsOnTheBuiltInOrganisation) {
  const ToolRun run = RunTool(GetParam(), {}, "", "\n\n");
  EXPECT_EQ(run.out, std::string(kBanner) + "Opening Default Message Store Mailbox - Ada Quill\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  if (GetParam() == Build::Linux) ExpectReport("Startup/SucceedsOnTheBuiltInOrganisation", run.out);
}

TEST_P(Startup, SucceedsWithOrWithoutADomainController) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"dc01.test.example"}}) {
    const ToolRun run = RunOn(GetParam(), OperatorOrganisation(), "\n\n", args);
    EXPECT_EQ(run.out, std::string(kBanner) + kOpened);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
    if (GetParam() == Build::Linux) ExpectReport("Startup/SucceedsWithOrWithoutADomainController", run.out);
  }
}

TEST_P(Startup, TheOperatorLookupPrintsWhatItCouldNotFind) {
  struct Case {
    const char* what;
    std::function<void(Json&)> change;
    std::vector<std::string> args;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"no user has the address",
       [](Json& o) { o["directory"]["users"][0]["proxyAddresses"] = Json::array({"SMTP:someone@test.example"}); },
       {},
       "{operator@test.example} Unable to find user in AD\n"},
      {"two users have it",
       [](Json& o) {
         Json twin = o["directory"]["users"][0];
         twin["name"] = "twin";
         twin["dn"] = "CN=Twin,CN=Users,DC=test,DC=example";
         twin["sid"] = "S-1-5-21-1000-2000-3000-1105";
         o["directory"]["users"].push_back(twin);
       },
       {},
       "{operator@test.example} Unable to find user in AD\n"},
      {"a domain controller that does not exist",
       [](Json&) {},
       {"dc99.test.example"},
       "{operator@test.example} Failed to get RootDSE ffffffff8007203a\n"
       "GetUserObject failed (8007203a) for operator@test.example\n"},
      {"no domain at all",
       [](Json& o) { o.erase("directory"); },
       {},
       "{operator@test.example} Failed to get RootDSE ffffffff8007054b\n"
       "GetUserObject failed (8007054b) for operator@test.example\n"},
      {"the user object cannot be read",
       [](Json& o) { o["faults"] = Json::array({Fault("IADs::GetInfoEx", "0x80070005")}); },
       {},
       "Unable to get the tokenGroups property ffffffff80070005\n"
       "GetAccountNames failed (80070005) for operator@test.example\n"},
  };
  for (const Case& c : cases) {
    Json organisation = OperatorOrganisation();
    c.change(organisation);
    const ToolRun run = RunOn(GetParam(), organisation, "\n\n", c.args);
    EXPECT_EQ(run.out, std::string(kBanner) + kOpened + c.expected) << c.what;
    EXPECT_EQ(run.err, "") << c.what;
    EXPECT_EQ(run.exitCode, 0) << c.what;
    if (GetParam() == Build::Linux) ExpectReport(std::string("OperatorLookup/") + c.what, run.out);
  }
}

TEST_P(Startup, TheProfileDialogTakesANameOrANumber) {
  Json organisation = OperatorOrganisation();
  Json second = organisation["profiles"][0];
  second["name"] = "Second";
  second["default"] = false;
  second["stores"][1]["displayName"] = "Mailbox - Second";
  organisation["profiles"].push_back(second);
  for (const char* answer : {"2\n\n", "second\n\n", "Nobody\nSecond\n\n"}) {
    const ToolRun run = RunOn(GetParam(), organisation, answer);
    EXPECT_EQ(run.out, std::string(kBanner) + "Opening Default Message Store Mailbox - Second\n") << answer;
    EXPECT_EQ(run.exitCode, 0);
    if (GetParam() == Build::Linux) ExpectReport("Startup/TheProfileDialogTakesANameOrANumber", run.out);
  }
}

// The start-up's failure at each step is in the transcript table
// (tests/transcripts/cases.json), which the Windows build runs too.

TEST_P(Startup, StoreRowsAreWalkedForTheFirstDefault) {
  struct Case {
    Json stores;
    const char* expected;
  };
  const Case cases[] = {
      // Two defaults: only the first is opened and named.
      {Json::parse(R"([{"displayName": "First", "default": true}, {"displayName": "Second", "default": true}])"),
       "Opening Default Message Store First\n"},
      // Rows without the flag, or with it false, are passed over.
      {Json::parse(R"([{"displayName": "No flag"}, {"displayName": "False", "default": false},
                       {"displayName": "Chosen", "default": true}])"),
       "Opening Default Message Store Chosen\n"},
      // A default row without a display name.
      {Json::parse(R"([{"default": true}])"), "Opening Default Message Store (null)\n"},
  };
  for (const Case& c : cases) {
    Json organisation = OperatorOrganisation();
    organisation["profiles"][0]["stores"] = c.stores;
    const ToolRun run = RunOn(GetParam(), organisation);
    EXPECT_EQ(run.out, std::string(kBanner) + c.expected) << c.stores.dump();
    EXPECT_EQ(run.err, "");
    if (GetParam() == Build::Linux) {
      const std::string opened = c.expected;
      ExpectReport("StoreRows/" + opened.substr(0, opened.size() - 1), run.out);
    }
  }
}

TEST(BrokenOrganisation, IsReportedOnStandardErrorAndFailsMapiInitialize) {
  struct Case {
    const char* content;
    const char* problem;
  };
  const Case cases[] = {
      {"{ \"profiles\": [", "not valid JSON"},
      {R"({"profiles": [{"name": "P", "identity": "nobody"}]})",
       "profiles[0].identity: no address-book entry has the key \"nobody\""},
      {R"({"profiles": [], "adressBook": []})", "adressBook: unknown field"},
      {R"({"faults": [{"operation": "MAPILogon", "status": "0x80004005"}]})",
       "faults[0].operation: no platform operation is named \"MAPILogon\""},
  };
  for (const Case& c : cases) {
    TemporaryFile file(c.content);
    const ToolRun run = RunTool({}, file.path(), "\n");
    EXPECT_EQ(run.out, std::string(kBanner) + "MAPIInitialize() failed (8004011b)\n");
    EXPECT_NE(run.err.find("organisation file '" + file.path() + "'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
    EXPECT_EQ(run.exitCode, 0);
    ExpectReport("BrokenOrganisation/IsReportedOnStandardErrorAndFailsMapiInitialize", run.out);
  }
}

TEST(BrokenOrganisation, AMissingFileIsNamed) {
  const ToolRun run = RunTool({}, "/nonexistent/organisation.json", "\n");
  EXPECT_EQ(run.out, std::string(kBanner) + "MAPIInitialize() failed (8004011b)\n");
  EXPECT_EQ(run.err,
            "emulated platform: organisation file '/nonexistent/organisation.json': cannot be read: "
            "No such file or directory\n");
  ExpectReport("BrokenOrganisation/AMissingFileIsNamed", run.out);
}

}  // namespace
