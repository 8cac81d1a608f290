// Runs the built tool on picked mailboxes and compares every line it
// prints for them, byte for byte: the picker, the mailbox access probe, the
// CDO probe, the SMTP resolution with its retry, and the block of each
// mailbox in pick order.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "report_expectations.h"
#include "tool_runner.h"

namespace {

using Json = nlohmann::json;

// The address book of mailboxes.json: 1 the operator, 2 Alice (HOST1), 3
// Bob (HOST1, "Kalender", a leftover test folder with subfolders), 4 Carol
// (HOST2, where the operator has no rights), 5 a distribution list, 6 an
// entry whose object is gone.
Json Mailboxes() {
  std::ifstream file(std::string(CALDROSE_TEST_DATA) + "/mailboxes.json");
  std::stringstream text;
  text << file.rdbuf();
  return Json::parse(text.str());
}

const std::string kStartup = "Opening Default Message Store Mailbox - Test Operator\n";

std::string MailboxDn(const std::string& key) { return "/o=Test/ou=Site/cn=Recipients/cn=" + key; }
std::string HomeMdb(const std::string& host) {
  return "/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=" + host + "/cn=Microsoft Private MDB";
}

// The lines of one probe, each behind the display name.
std::string Lines(const std::string& name, std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += name + ": " + line + "\n";
  return text;
}

std::string OpeningLines(const std::string& name, const std::string& key, const std::string& host) {
  return name + ": Opening message store using \n\t" + MailboxDn(key) + "\n\t" + HomeMdb(host) + "\n";
}

std::string MapiSuccess(const std::string& name, const std::string& key, const std::string& host) {
  return OpeningLines(name, key, host) +
         Lines(name, {"Mailbox opened successfully", "Root Folder opened successfully", "Folder created successfully",
                      "Test folder deleted successfully", "MAPI test completed successfully"});
}

std::string CdoStart(const std::string& name, const std::string& key, const std::string& host) {
  return Lines(name, {"CDO Server Name: " + host, "CDO Mailbox DN: " + MailboxDn(key)});
}

std::string CdoSuccess(const std::string& name, const std::string& key, const std::string& host,
                       const std::string& calendar = "Calendar") {
  return CdoStart(name, key, host) +
         Lines(name, {"CDO logon successful", "Get default calendar folder successful",
                      "Get calendar folder name successful: '" + calendar + "'", "CDO test completed successfully"});
}

std::string CdoException(const std::string& name, const std::string& code, const std::string& meaning,
                         const std::string& description) {
  return name + ": CDO COM exception: Code = " + code + ", WCode = 0000, Code meaning = " + meaning + "\n" +
         "    Description = " + description + ".\n";
}

std::string SendAsGranted(const std::string& name) {
  return Lines(name, {"Active Directory permissions test completed successfully"});
}

std::string Report(const std::string& key) { return "report for " + key + "\n"; }

// A whole block of a mailbox on which every probe succeeds.
std::string Success(const std::string& name, const std::string& key, const std::string& calendar = "Calendar") {
  return "\n" + MapiSuccess(name, key, "HOST1") + CdoSuccess(name, key, "HOST1", calendar) + SendAsGranted(name) +
         Report(key);
}

const std::string kAlice = Success("Alice Archer", "alice");
const std::string kBob = Success("Bob Brandt", "bob", "Kalender");
const std::string kCarol =
    "\n" + OpeningLines("Carol Chen", "carol", "HOST2") + Lines("Carol Chen", {"OpenMsgStore failed (80040111)"}) +
    CdoStart("Carol Chen", "carol", "HOST2") +
    CdoException("Carol Chen", "80040111", "Unknown error 0x80040111",
                 "[Collaboration Data Objects - [MAPI_E_LOGON_FAILED(80040111)]]") +
    Lines("Carol Chen", {"CDO test failed", "No Send As permission for the {TEST\\operator} account operator."}) +
    Report("carol");

Json Fault(const char* operation, const char* status, unsigned occurrence = 1) {
  return {{"operation", operation}, {"status", status}, {"occurrence", occurrence}};
}

struct Case {
  const char* name;
  std::function<void(Json&)> arrange;
  const char* picks;     // the address dialog's line, or null: the input ends
  std::string expected;  // what follows the banner
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::vector<Case> Cases() {
  const auto none = [](Json&) {};
  const std::string alice = "Alice Archer";
  const std::string aliceMapi = OpeningLines(alice, "alice", "HOST1");
  const std::string aliceAfterMapi = CdoSuccess(alice, "alice", "HOST1") + SendAsGranted(alice) + Report("alice");
  return {
      // The picker.
      {"BlocksFollowThePickOrder", none, "4,2,3", kStartup + kCarol + kAlice + kBob},
      {"PicksByNameInAnyCase", none, "bob brandt, ALICE ARCHER", kStartup + kBob + kAlice},
      {"TheSameMailboxTwiceIsTestedTwice", none, "2,2", kStartup + kAlice + kAlice},
      {"NothingChosen", none, "", kStartup},
      {"TheDialogCancelled", none, nullptr,
       kStartup + "Display GAL failed (80040113)\nFailed to load user properties for address list (80040113)\n"},
      {"ADistributionListIsDroppedSilently", none, "5,2", kStartup + kAlice},
      {"AnEntryWithoutAHomeStoreIsDroppedSilently", [](Json& o) { o["addressBook"][2].erase("homeMdb"); }, "3,2",
       kStartup + kAlice},
      // Which mailboxes are tested does not depend on where the entry that
      // cannot be opened stands.
      {"AnEntryThatCannotBeOpenedFirst", none, "6,2",
       kStartup + std::string("OpenEntry failed for user chosen from Address Book (8004010f)\n") + kAlice},
      {"AnEntryThatCannotBeOpenedLast", none, "2,6",
       kStartup + std::string("OpenEntry failed for user chosen from Address Book (8004010f)\n") + kAlice},
      // The operator's own e-mail read is the first GetProps.
      {"AnEntryWhosePropertiesCannotBeRead",
       [](Json& o) { o["faults"] = Json::array({Fault("IMailUser::GetProps", "0x80040115", 2)}); }, "2,3",
       kStartup + std::string("GetProps failed (80040115)\n") + kBob},
      {"TheDialogFails", [](Json& o) { o["faults"] = Json::array({Fault("IAddrBook::Address", "0x80004005")}); }, "2",
       kStartup + "Display GAL failed (80004005)\nFailed to load user properties for address list (80004005)\n"},

      // The mailbox access probe, each failure.
      {"CreateStoreEntryIdFails",
       [](Json& o) { o["faults"] = Json::array({Fault("IExchangeManageStore::CreateStoreEntryID", "0x8004010F")}); },
       "2", kStartup + "\n" + aliceMapi + "CreateStoreEntryID failed (8004010f)\n" + aliceAfterMapi},
      {"OpenMsgStoreFails",
       [](Json& o) { o["faults"] = Json::array({Fault("IMAPISession::OpenMsgStore", "0x80040115", 2)}); }, "2",
       kStartup + "\n" + aliceMapi + Lines(alice, {"OpenMsgStore failed (80040115)"}) + aliceAfterMapi},
      {"AHomeStoreOnNoKnownServer",
       [](Json& o) {
         o["addressBook"][1]["homeMdb"] = HomeMdb("HOST9");
         o["faults"] = Json::array();
       },
       "2",
       kStartup + "\n" + OpeningLines(alice, "alice", "HOST9") + Lines(alice, {"OpenMsgStore failed (80040115)"}) +
           CdoStart(alice, "alice", "HOST9") +
           CdoException(alice, "80040115", "Unknown error 0x80040115",
                        "[Collaboration Data Objects - [MAPI_E_NETWORK_ERROR(80040115)]]") +
           Lines(alice, {"CDO test failed"}) + SendAsGranted(alice) + Report("alice")},
      {"OpenRootFolderFails", [](Json& o) { o["faults"] = Json::array({Fault("IMsgStore::OpenEntry", "0x8004010F")}); },
       "2",
       kStartup + "\n" + aliceMapi +
           Lines(alice, {"Mailbox opened successfully", "Open Root Folder failed (8004010f)"}) + aliceAfterMapi},
      {"CreateFolderRefused",
       [](Json& o) {
         o["addressBook"][1]["mailbox"] = {{"allowsCreate", false}};
       },
       "2",
       kStartup + "\n" + aliceMapi +
           Lines(alice, {"Mailbox opened successfully", "Root Folder opened successfully",
                         "Failed to create a folder in mailbox"}) +
           aliceAfterMapi},
      // The operator's e-mail read is the first single-property read.
      {"FolderEntryIdNotRead", [](Json& o) { o["faults"] = Json::array({Fault("HrGetOneProp", "0x80040115", 2)}); },
       "2",
       kStartup + "\n" + aliceMapi +
           Lines(alice, {"Mailbox opened successfully", "Root Folder opened successfully",
                         "Folder created successfully", "Failed to get EntryID for created folder (80040115)"}) +
           aliceAfterMapi},
      // A folder that cannot be deleted stays; the next probe of the same
      // mailbox opens it and fails again.
      {"DeleteRefusedTwice",
       [](Json& o) {
         o["addressBook"][1]["mailbox"] = {{"allowsDelete", false}};
       },
       "2,2",
       kStartup +
           [&] {
             const std::string block =
                 "\n" + aliceMapi +
                 Lines(alice, {"Mailbox opened successfully", "Root Folder opened successfully",
                               "Folder created successfully", "Failed to delete test folder, (80070005)"}) +
                 aliceAfterMapi;
             return block + block;
           }()},

      // The CDO probe.
      {"CdoNotRegistered",
       [](Json& o) {
         o["cdo"] = {{"registered", false}};
       },
       "2",
       kStartup + "\n" + MapiSuccess(alice, "alice", "HOST1") + CdoStart(alice, "alice", "HOST1") +
           Lines(alice, {"CreateInstance failed (0x800401f3)", "CDO test failed"}) + SendAsGranted(alice) +
           Report("alice")},
      {"ALogoffThatFailsAfterTheName",
       [](Json& o) {
         Json fault = Fault("Session::Logoff", "0x80040116");
         fault["description"] = "The session ended badly";
         o["faults"] = Json::array({fault});
       },
       "2",
       kStartup + "\n" + MapiSuccess(alice, "alice", "HOST1") + CdoStart(alice, "alice", "HOST1") +
           Lines(alice, {"CDO logon successful", "Get default calendar folder successful",
                         "Get calendar folder name successful: 'Calendar'"}) +
           CdoException(alice, "80040116", "Unknown error 0x80040116", "The session ended badly") +
           Lines(alice, {"CDO test completed successfully"}) + SendAsGranted(alice) + Report("alice")},
      // A failure of the automation call itself, without an exception
      // report, carries no description.
      {"ANameThatCannotBeRead", [](Json& o) { o["faults"] = Json::array({Fault("Folder::Name", "0x80020003")}); }, "2",
       kStartup + "\n" + MapiSuccess(alice, "alice", "HOST1") + CdoStart(alice, "alice", "HOST1") +
           Lines(alice, {"CDO logon successful", "Get default calendar folder successful"}) +
           CdoException(alice, "80020003", "Member not found.", "(null)") + Lines(alice, {"CDO test failed"}) +
           SendAsGranted(alice) + Report("alice")},
      {"NoServerMarkerInTheHomeStore",
       [](Json& o) {
         o["addressBook"][1]["homeMdb"] =
             "/o=Test/ou=Site/cn=Configuration/CN=Servers/CN=HOST1/cn=Microsoft Private MDB";
       },
       "2",
       kStartup + "\n" + alice + ": Opening message store using \n\t" + MailboxDn("alice") +
           "\n\t/o=Test/ou=Site/cn=Configuration/CN=Servers/CN=HOST1/cn=Microsoft Private MDB\n" +
           Lines(alice,
                 {"Mailbox opened successfully", "Root Folder opened successfully", "Folder created successfully",
                  "Test folder deleted successfully", "MAPI test completed successfully",
                  "Unable to extract Exchange server name(1): "
                  "/o=Test/ou=Site/cn=Configuration/CN=Servers/CN=HOST1/cn=Microsoft Private MDB",
                  "CDO test failed"}) +
           SendAsGranted(alice) + Report("alice")},
      {"NoSlashAfterTheServer",
       [](Json& o) { o["addressBook"][1]["homeMdb"] = "/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=HOST1"; }, "2",
       kStartup + "\n" + alice + ": Opening message store using \n\t" + MailboxDn("alice") +
           "\n\t/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=HOST1\n" +
           Lines(alice,
                 {"OpenMsgStore failed (80040115)",
                  "Unable to extract Exchange server name(2): /o=Test/ou=Site/cn=Configuration/cn=Servers/cn=HOST1",
                  "CDO test failed"}) +
           SendAsGranted(alice) + Report("alice")},
      // An empty server: ProfileInfo starts with its line feed, and the
      // logon is still tried.
      {"AnEmptyServerSegment",
       [](Json& o) {
         o["addressBook"][1]["homeMdb"] = "/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=/cn=Microsoft Private MDB";
       },
       "2",
       kStartup + "\n" + alice + ": Opening message store using \n\t" + MailboxDn("alice") +
           "\n\t/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=/cn=Microsoft Private MDB\n" +
           Lines(alice,
                 {"OpenMsgStore failed (80040115)", "CDO Server Name: ", "CDO Mailbox DN: " + MailboxDn("alice")}) +
           CdoException(alice, "80040115", "Unknown error 0x80040115",
                        "[Collaboration Data Objects - [MAPI_E_NETWORK_ERROR(80040115)]]") +
           Lines(alice, {"CDO test failed"}) + SendAsGranted(alice) + Report("alice")},

      // The SMTP resolution: the operator's is the first PrepareRecips.
      {"EndOfSessionOnceIsRetriedSilently",
       [](Json& o) { o["faults"] = Json::array({Fault("IAddrBook::PrepareRecips", "0x80040200", 2)}); }, "2",
       kStartup + kAlice},
      {"EndOfSessionTwiceIsReported",
       [](Json& o) {
         o["faults"] = {Fault("IAddrBook::PrepareRecips", "0x80040200", 2),
                        Fault("IAddrBook::PrepareRecips", "0x80040200", 3)};
       },
       "2,3",
       kStartup + "\n" + MapiSuccess(alice, "alice", "HOST1") + CdoSuccess(alice, "alice", "HOST1") +
           Lines(alice, {"Failed to resolve the SMTP address (80040200)"}) + kBob},
      // Another failure is not retried: the next call is Bob's own.
      {"AnotherFailureIsNotRetried",
       [](Json& o) { o["faults"] = Json::array({Fault("IAddrBook::PrepareRecips", "0x80040115", 2)}); }, "2,3",
       kStartup + "\n" + MapiSuccess(alice, "alice", "HOST1") + CdoSuccess(alice, "alice", "HOST1") +
           Lines(alice, {"Failed to resolve the SMTP address (80040115)"}) + kBob},
  };
}

void CheckBlock(Build build, const Case& c) {
  Json organisation = Mailboxes();
  c.arrange(organisation);
  TemporaryFile file(organisation.dump(2));
  const std::string input = c.picks == nullptr ? "\n" : std::string("\n") + c.picks + "\n";
  const ToolRun run = RunTool(build, {}, file.path(), input);
  EXPECT_EQ(run.out, std::string(kBanner) + c.expected);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  if (build == Build::Linux) ExpectReport("MailboxBlock/" + std::string(c.name), run.out);
}

class MailboxBlock : public testing::TestWithParam<Case> {};
class WineMailboxBlock : public testing::TestWithParam<Case> {};

TEST_P(MailboxBlock, PrintsItsLinesAndReleasesEverything) { CheckBlock(Build::Linux, GetParam()); }

TEST_P(WineMailboxBlock, PrintsTheSameLinesAndReleasesEverything) {
  if (!CanRun(Build::Windows)) GTEST_SKIP() << "run by tests/wine/transcripts.sh";
  CheckBlock(Build::Windows, GetParam());
}

std::string NameOf(const testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Picks, MailboxBlock, testing::ValuesIn(Cases()), NameOf);
INSTANTIATE_TEST_SUITE_P(Wine, WineMailboxBlock, testing::ValuesIn(Cases()), NameOf);

// A mailbox DN longer than the probe's 1,023-character buffer is used cut.
TEST(MailboxBlockCdo, ALongMailboxDnIsCutForCdo) {
  Json organisation = Mailboxes();
  const std::string longDn = MailboxDn("alice") + std::string(1100, 'x');
  organisation["addressBook"][1]["emailAddress"] = longDn;
  TemporaryFile file(organisation.dump(2));
  const ToolRun run = RunTool({}, file.path(), "\n2\n");
  EXPECT_NE(run.out.find("\t" + longDn + "\n"), std::string::npos);
  EXPECT_NE(run.out.find("Alice Archer: CDO Mailbox DN: " + longDn.substr(0, 1023) + "\n"), std::string::npos);
  EXPECT_EQ(run.err, "");
  ExpectReport("MailboxBlock/ALongMailboxDnIsCutForCdo", run.out);
}

}  // namespace
