// The emulated platform's ledger: a whole run in-process ends with nothing
// held, and a second release of anything is caught.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "in_process.h"
#include "messaging/logon.h"
#include "platform/emulation/com/classes.h"
#include "platform/emulation/control.h"
#include "platform/emulation/mapi/mapi_memory.h"

namespace {

// MAPI up on the operator organisation, and a session on its profile.
void LogOnAsOperator(LPMAPISESSION* session) {
  emulation::UseOrganisationText(OperatorOrganisationText(), "test organisation");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  char profile[] = "Operator";
  ASSERT_EQ(MAPILogonEx(0, profile, nullptr, 0, session), S_OK);
}

class Ledger : public testing::Test {
 protected:
  void TearDown() override { emulation::ResetRun(); }
};

TEST_F(Ledger, IsEmptyAfterEveryRun) {
  const std::string organisation = OperatorOrganisationText();
  // A successful start-up, a cancelled dialog, and a failure with a
  // connection that stays held until the wrapper is destroyed.
  const std::string failingOpen =
      organisation.substr(0, organisation.rfind('}')) +
      R"(, "faults": [{"operation": "Connection15::Open", "status": "0x80040E4D", "source": "S", "description": "D"}]})";
  for (const auto& [text, answers] : {std::pair{organisation, "\n\n"}, {organisation, ""}, {failingOpen, "\n\n"}}) {
    RunInProcess(text, answers);
    EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
    EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
    emulation::ResetRun();
  }
}

// The journal from the first release of the clean-up (the operator's mail
// user) to its end.
std::vector<emulation::Event> CleanUp() {
  const auto journal = emulation::Journal();
  const auto first = std::find(journal.rbegin(), journal.rend(),
                               emulation::Released("Release", "interface IMailUser (address-book entry \"operator\")"));
  if (first == journal.rend()) return {};
  return {std::prev(first.base()), journal.end()};
}

TEST_F(Ledger, TheCleanUpReleasesInItsFixedOrder) {
  RunInProcess(OperatorOrganisationText(), "\n\n");
  using emulation::Call;
  using emulation::Released;
  const std::vector<emulation::Event> expected = {
      Released("Release", "interface IMailUser (address-book entry \"operator\")"),
      Released("Release", "interface IAddrBook (address book)"),
      // The manage-store interface, then the store: one object, two interfaces.
      Released("Release", "interface IExchangeManageStore (store profile/0/1)"),
      Released("Release", "interface IMsgStore (store profile/0/1)"),
      // The store rows: each row's values, then the row set.
      Released("MAPIFreeBuffer", "MAPI block row from IMAPITable::QueryRows"),
      Released("MAPIFreeBuffer", "MAPI block row from IMAPITable::QueryRows"),
      Released("MAPIFreeBuffer", "MAPI block row set from IMAPITable::QueryRows"),
      Released("Release", "interface IMAPITable (message-stores table)"),
      Released("Release", "interface IMAPISession (session of profile \"Operator\")"),
      Released("MAPIFreeBuffer", "MAPI block entry ID from IMAPISession::QueryIdentity"),
      Released("MAPIFreeBuffer", "MAPI block values from IMailUser::GetProps"),
      // The operator's user object and account name.
      Released("Release", "interface IADs (IADs LDAP://CN=Test Operator,CN=Users,DC=test,DC=example)"),
      Released("SysFreeString", "BSTR of 13 characters"),
      // The directory: closed, then released when the wrapper is destroyed,
      // all before MAPI goes.
      Call("Connection15::Close"),
      Released("Release", "interface _Connection (ADODB.Connection)"),
      Call("MAPIUninitialize"),
  };
  EXPECT_EQ(CleanUp(), expected);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
}

TEST_F(Ledger, AnyUseOfAnObjectAfterTheShutdownIsAViolation) {
  LPMAPISESSION session = nullptr;
  ASSERT_NO_FATAL_FAILURE(LogOnAsOperator(&session));
  MAPIUninitialize();
  session->Release();
  emulation::UseOrganisationText("", "");
  ASSERT_EQ(emulation::LedgerViolations().size(), 1u);
  EXPECT_NE(emulation::LedgerViolations()[0].find("IMAPISession::Release on session of profile \"Operator\" after "
                                                  "MAPIUninitialize"),
            std::string::npos);
}

TEST_F(Ledger, AnyCallOnAReleasedObjectIsAViolation) {
  LPMAPISESSION session = nullptr;
  ASSERT_NO_FATAL_FAILURE(LogOnAsOperator(&session));
  session->Release();
  LPADRBOOK book = nullptr;
  EXPECT_EQ(session->OpenAddressBook(0, nullptr, 0, &book), E_UNEXPECTED);
  EXPECT_EQ(book, nullptr);
  MAPIUninitialize();
  emulation::UseOrganisationText("", "");
  ASSERT_EQ(emulation::LedgerViolations().size(), 1u);
  EXPECT_NE(emulation::LedgerViolations()[0].find("IMAPISession::OpenAddressBook on session of profile \"Operator\" "
                                                  "after its last release"),
            std::string::npos);
}

// A run that keeps only what is recent (the command line's) writes no
// journal but still catches a late call on a released object.
TEST_F(Ledger, KeepingOnlyRecentObjectsStillCatchesALateCall) {
  emulation::SetRetention(emulation::Retention::Recent);
  LPMAPISESSION session = nullptr;
  ASSERT_NO_FATAL_FAILURE(LogOnAsOperator(&session));
  session->Release();
  LPADRBOOK book = nullptr;
  EXPECT_EQ(session->OpenAddressBook(0, nullptr, 0, &book), E_UNEXPECTED);
  MAPIUninitialize();
  emulation::UseOrganisationText("", "");
  emulation::SetRetention(emulation::Retention::Everything);
  EXPECT_EQ(emulation::Journal(), std::vector<emulation::Event>{});
  ASSERT_EQ(emulation::LedgerViolations().size(), 1u);
  EXPECT_NE(emulation::LedgerViolations()[0].find("IMAPISession::OpenAddressBook on session of profile \"Operator\" "
                                                  "after its last release"),
            std::string::npos);
}

TEST_F(Ledger, CountsEachInterfaceOfAnObjectOnItsOwn) {
  LPMAPISESSION session = nullptr;
  ASSERT_NO_FATAL_FAILURE(LogOnAsOperator(&session));
  LPMAPITABLE table = nullptr;
  ASSERT_EQ(session->GetMsgStoresTable(0, &table), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(table, nullptr, nullptr, nullptr, 0, &rows), S_OK);
  const SRow* row = rows->aRow;
  LPMDB store = nullptr;
  ASSERT_EQ(
      session->OpenMsgStore(0, row[1].lpProps[1].Value.bin.cb,
                            reinterpret_cast<LPENTRYID>(row[1].lpProps[1].Value.bin.lpb), nullptr, MDB_WRITE, &store),
      S_OK);
  LPEXCHANGEMANAGESTORE manage = nullptr;
  ASSERT_EQ(store->QueryInterface(IID_IExchangeManageStore, reinterpret_cast<void**>(&manage)), S_OK);
  // The store interface released twice, the manage-store interface never.
  store->Release();
  store->Release();
  FreeProws(rows);
  table->Release();
  session->Release();
  MAPIUninitialize();
  emulation::UseOrganisationText("", "");
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{"interface IExchangeManageStore (store profile/0/1)"});
  ASSERT_EQ(emulation::LedgerViolations().size(), 1u);
  EXPECT_NE(emulation::LedgerViolations()[0].find("IMsgStore::Release of an interface not held"), std::string::npos);
}

// Whatever one in-process run leaves (MAPI still up, an error object on
// the thread, counted calls), the next starts as in a new process.
TEST_F(Ledger, ARunAfterAResetStartsAsInANewProcess) {
  std::string other = OperatorOrganisationText();
  other.replace(other.find("Mailbox - Test Operator"), 23, "Mailbox - Someone Else");
  const std::string expected = RunInProcess(other, "\n\n");
  const auto expectedJournal = emulation::Journal();
  emulation::ResetRun();

  StartEmulatedPlatform(OperatorOrganisationText());
  SetErrorInfo(0, emulation::NewErrorInfo("left", "behind"));
  emulation::ResetRun();

  EXPECT_EQ(RunInProcess(other, "\n\n"), expected);
  EXPECT_NE(expected.find("Opening Default Message Store Mailbox - Someone Else\n"), std::string::npos);
  EXPECT_EQ(emulation::Journal(), expectedJournal);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
}

TEST_F(Ledger, CatchesASecondRelease) {
  void* block = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &block), S_OK);
  MAPIFreeBuffer(block);
  MAPIFreeBuffer(block);

  BSTR text = SysAllocString(OLESTR("x"));
  SysFreeString(text);
  SysFreeString(text);

  LPMAPISESSION session = nullptr;
  ASSERT_NO_FATAL_FAILURE(LogOnAsOperator(&session));
  session->Release();
  session->Release();
  MAPIUninitialize();
  emulation::UseOrganisationText("", "");

  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  const auto violations = emulation::LedgerViolations();
  ASSERT_EQ(violations.size(), 3u);
  EXPECT_NE(violations[0].find("MAPIFreeBuffer of something not held (MAPI block"), std::string::npos);
  EXPECT_NE(violations[1].find("SysFreeString of something not held (BSTR"), std::string::npos);
  EXPECT_NE(violations[2].find("IMAPISession::Release on session of profile \"Operator\" after its last release"),
            std::string::npos);
}

TEST_F(Ledger, ListsWhatIsStillHeld) {
  void* block = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &block), S_OK);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{"MAPI block of 16 bytes from MAPIAllocateBuffer"});
  MAPIFreeBuffer(block);
}

}  // namespace
