// What the mailbox probes ask of the platform, call by call and release by
// release, as the emulation's journal records them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "cdo/server_name.h"
#include "in_process.h"
#include "messaging/picker.h"
#include "platform/emulation/control.h"
#include "platform/emulation/mapi/unserved.h"

namespace {

using emulation::Call;
using emulation::Event;
using emulation::Released;

std::string MailboxesText() {
  std::ifstream file(std::string(CALDROSE_TEST_DATA) + "/mailboxes.json");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The journal from the first event whose operation starts with first up to
// (not including) the first one after it that starts with end.
std::vector<Event> Between(const std::vector<Event>& journal, const std::string& first, const std::string& end) {
  const auto starts = [](const std::string& prefix) {
    return [prefix](const Event& event) { return event.operation.rfind(prefix, 0) == 0; };
  };
  const auto from = std::find_if(journal.begin(), journal.end(), starts(first));
  const auto to = std::find_if(from, journal.end(), starts(end));
  return {from, to};
}

class MailboxCalls : public testing::Test {
 protected:
  void SetUp() override {
    RunInProcess(MailboxesText(), "\n2\n");
    journal_ = emulation::Journal();
  }
  void TearDown() override {
    EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
    EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
    emulation::ResetRun();
  }
  std::vector<Event> journal_;
};

TEST_F(MailboxCalls, TheAccessProbeOpensWithAdminPrivilegeAndReleasesInItsOrder) {
  const std::string root = "folder \"Tamberlyn Test Folder\" of alice";
  const std::vector<Event> expected = {
      // Administrative privilege and ownership; the DNs as the row has them.
      Call("IExchangeManageStore::CreateStoreEntryID",
           "\"/o=Test/ou=Site/cn=Configuration/cn=Servers/cn=HOST1/cn=Microsoft Private MDB\", "
           "\"/o=Test/ou=Site/cn=Recipients/cn=alice\", 0x9"),
      // No dialog, write access, a temporary store, no mail.
      Call("IMAPISession::OpenMsgStore", "0x0, null, 0xA5"),
      // The root folder by an empty entry ID, with the best access.
      Call("IMsgStore::OpenEntry", "0 bytes, null, 0x10"),
      Call("IMAPIFolder::CreateFolder", "1, \"Tamberlyn Test Folder\", null, null, 0x1"),
      Call("HrGetOneProp", "0x0FFF0102"),
      Call("IMAPIFolder::GetProps", "[0x0FFF0102], 0x0"),
      // The test folder is still held while its parent deletes it.
      Call("IMAPIFolder::DeleteFolder", "54 bytes, 0x0, null, 0x5"),
      Released("MAPIFreeBuffer", "MAPI block values from IMAPIFolder::GetProps"),
      Released("Release", "interface IMAPIFolder (" + root + ")"),
      Released("Release", "interface IMAPIFolder (root folder of alice)"),
      Released("Release", "interface IMsgStore (mailbox of alice)"),
      Released("MAPIFreeBuffer", "MAPI block entry ID from IExchangeManageStore::CreateStoreEntryID"),
  };
  EXPECT_EQ(Between(journal_, "IExchangeManageStore::CreateStoreEntryID", "SysAllocString"), expected);
}

TEST_F(MailboxCalls, TheCdoProbeLogsOnWithADynamicProfileAndReleasesTheFolderFirst) {
  const std::vector<Event> expected = {
      Call("CLSIDFromProgID", "\"MAPI.Session\""),
      Call("CoCreateInstance", "{3FA7DEB3-6438-101B-ACC1-00AA00423326}, null, 0x7, IUnknown"),
      Call("OleRun", ""),
      Call("Session::QueryInterface", "IRunnableObject"),
      Call("Session::QueryInterface", "{3FA7DEA8-6438-101B-ACC1-00AA00423326}"),
      Released("Release", "interface Session (CDO session)"),
      Call("SysAllocString", "0 characters"),
      Call("SysAllocString", "0 characters"),
      // ProfileName, ProfilePassword, ShowDialog, NewSession, ParentWindow,
      // NoMail, ProfileInfo: the server, a line feed, the mailbox DN.
      Call("Session::Logon", "\"\", \"\", true, true, false, true, \"HOST1\\n/o=Test/ou=Site/cn=Recipients/cn=alice\""),
      Released("SysFreeString", "BSTR of 0 characters"),
      Released("SysFreeString", "BSTR of 0 characters"),
      Call("Session::GetDefaultFolder", "0"),
      Call("Folder::QueryInterface", "{3FA7DEA9-6438-101B-ACC1-00AA00423326}"),
      Released("Release", "interface Folder (CDO folder \"Calendar\" of alice)"),
      Call("Folder::Name", ""),
      Call("Session::Logoff", ""),
      Released("SysFreeString", "BSTR of 8 characters"),
      Released("Release", "interface Folder (CDO folder \"Calendar\" of alice)"),
      // ProfileInfo, allocated before the session was created.
      Released("SysFreeString", "BSTR of 44 characters"),
      Released("Release", "interface Session (CDO session)"),
  };
  EXPECT_EQ(Between(journal_, "CLSIDFromProgID", "MAPIAllocateBuffer"), expected);
}

TEST(ServerName, IsCutOutOfTheHomeStoreDn) {
  struct Case {
    const char* dn;
    ServerNameResult result;
    const char* server;
  };
  const Case cases[] = {
      {"/o=T/ou=S/cn=Configuration/cn=Servers/cn=HOST1/cn=Microsoft Private MDB", ServerNameResult::kFound, "HOST1"},
      {"/cn=Servers/cn=A/cn=Servers/cn=B/x", ServerNameResult::kFound, "A"},  // the first marker
      {"/cn=Servers/cn=/x", ServerNameResult::kFound, ""},
      {"/o=T/CN=Servers/CN=HOST1/cn=x", ServerNameResult::kNoMarker, ""},  // the marker's case matters
      {"/o=T/cn=Servers/cn=HOST1", ServerNameResult::kNoSlashAfterServer, ""},
      {"", ServerNameResult::kNoMarker, ""},
  };
  for (const Case& c : cases) {
    char server[kCdoTextBufferSize];
    EXPECT_EQ(ExtractServerName(c.dn, server), c.result) << c.dn;
    EXPECT_STREQ(server, c.server) << c.dn;
  }
  // A server name longer than the buffer is cut to its 1,023 characters.
  const std::string longName(2000, 'h');
  char server[kCdoTextBufferSize];
  EXPECT_EQ(ExtractServerName(("/cn=Servers/cn=" + longName + "/x").c_str(), server), ServerNameResult::kFound);
  EXPECT_EQ(std::string(server), longName.substr(0, 1023));
}

// An address book whose dialog gives a chosen list as it was told to.
class DialogStub : public emulation::ObjectBase, public emulation::UnservedAddrBook<IAddrBook> {
 public:
  explicit DialogStub(bool giveList)
      : ObjectBase("dialog stub"), UnservedAddrBook<IAddrBook>("IAddrBook"), giveList_(giveList) {}
  IUnknown* FaceFor(REFIID) override { return static_cast<IAddrBook*>(this); }
  HRESULT STDMETHODCALLTYPE Address(ULONG_PTR*, LPADRPARM, LPADRLIST* list) override {
    if (!giveList_) return S_OK;
    // One entry, without an entry ID.
    void* block = nullptr;
    MAPIAllocateBuffer(CbNewADRLIST(1), &block);
    *list = static_cast<LPADRLIST>(block);
    (*list)->cEntries = 1;
    void* values = nullptr;
    MAPIAllocateBuffer(sizeof(SPropValue), &values);
    (*list)->aEntries[0] = {0, 1, static_cast<LPSPropValue>(values)};
    (*list)->aEntries[0].rgPropVals[0].ulPropTag = PR_DISPLAY_NAME_A;
    (*list)->aEntries[0].rgPropVals[0].Value.lpszA = const_cast<char*>("No entry ID");
    return S_OK;
  }

 private:
  bool giveList_;
};

TEST(Picker, ADialogWithoutAListAndAnEntryWithoutAnEntryId) {
  for (const bool giveList : {false, true}) {
    DialogStub book(giveList);
    std::vector<PickedMailbox> picked;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SelectMailboxes(&book, picked), S_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), giveList ? "" : "No addresses returned\n");
    EXPECT_TRUE(picked.empty());
  }
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  emulation::ResetRun();
}

}  // namespace
