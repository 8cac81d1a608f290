// The emulated platform's ledger: a whole run in-process ends with nothing
// held, and a second release of anything is caught.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "in_process.h"
#include "messaging/logon.h"
#include "platform/emulation/control.h"
#include "platform/emulation/mapi/mapi_memory.h"

namespace {

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
  for (const auto& [text, answers] : {std::pair{organisation, "\n"}, {organisation, ""}, {failingOpen, "\n"}}) {
    RunInProcess(text, answers);
    EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
    EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
    emulation::ResetRun();
  }
}

TEST_F(Ledger, TheCleanUpReleasesInItsFixedOrder) {
  RunInProcess(OperatorOrganisationText(), "\n");
  const auto history = emulation::LedgerHistory();
  // The clean-up starts with the last release of the operator's mail user.
  const auto last =
      std::find(history.rbegin(), history.rend(), "Release interface IMailUser (address-book entry \"operator\")");
  ASSERT_NE(last, history.rend());
  const std::vector<std::string> cleanUp(std::prev(last.base()), history.end());
  const std::vector<std::string> expected = {
      "Release interface IMailUser (address-book entry \"operator\")",
      "Release interface IAddrBook",
      // The manage-store interface, then the store itself: one object.
      "Release interface IMsgStore (profile/0/1)",
      "Release interface IMsgStore (profile/0/1)",
      // The store rows: each row's values, then the row set.
      "MAPIFreeBuffer MAPI block row from IMAPITable::QueryRows",
      "MAPIFreeBuffer MAPI block row from IMAPITable::QueryRows",
      "MAPIFreeBuffer MAPI block row set from IMAPITable::QueryRows",
      "Release interface IMAPITable (message stores)",
      "Release interface IMAPISession (profile \"Operator\")",
      "MAPIFreeBuffer MAPI block entry ID from IMAPISession::QueryIdentity",
      "MAPIFreeBuffer MAPI block values from IMailUser::GetProps",
      // The directory connection, closed and released before MAPI goes.
      "Release interface _Connection (ADODB.Connection)",
  };
  EXPECT_EQ(cleanUp, expected);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
}

TEST_F(Ledger, CatchesASecondRelease) {
  void* block = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &block), S_OK);
  MAPIFreeBuffer(block);
  MAPIFreeBuffer(block);

  BSTR text = SysAllocString(OLESTR("x"));
  SysFreeString(text);
  SysFreeString(text);

  emulation::UseOrganisationText(OperatorOrganisationText(), "test organisation");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  char profile[] = "Operator";
  ASSERT_EQ(MAPILogonEx(0, profile, nullptr, 0, &session), S_OK);
  session->Release();
  session->Release();
  MAPIUninitialize();
  emulation::UseOrganisationText("", "");

  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  const auto violations = emulation::LedgerViolations();
  ASSERT_EQ(violations.size(), 3u);
  EXPECT_NE(violations[0].find("MAPIFreeBuffer of something not held (MAPI block"), std::string::npos);
  EXPECT_NE(violations[1].find("SysFreeString of something not held (BSTR"), std::string::npos);
  EXPECT_NE(violations[2].find("Release of something not held (interface"), std::string::npos);
}

TEST_F(Ledger, ListsWhatIsStillHeld) {
  void* block = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &block), S_OK);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{"MAPI block of 16 bytes from MAPIAllocateBuffer"});
  MAPIFreeBuffer(block);
}

// A mail user that answers the e-mail address read with a value of its
// own choosing.
class MailUserStub : public IMailUser {
 public:
  MailUserStub(HRESULT status, ULONG tag) : status_(status), tag_(tag) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray, ULONG, ULONG* count, LPSPropValue* values) override {
    void* block = nullptr;
    MAPIAllocateBuffer(sizeof(SPropValue), &block);
    *values = static_cast<LPSPropValue>(block);
    (*values)->ulPropTag = tag_;
    (*values)->Value.err = MAPI_E_NOT_FOUND;
    *count = 1;
    return status_;
  }

 private:
  HRESULT status_;
  ULONG tag_;
};

TEST_F(Ledger, TheOperatorEmailReadAcceptsOnlyItsOwnTag) {
  struct Case {
    HRESULT status;
    ULONG tag;
    bool accepted;
    HRESULT reported;
  };
  const Case cases[] = {
      {S_OK, PR_EMAIL_ADDRESS_A, true, S_OK},
      // A success with another tag is refused with the read's own status.
      {S_OK, PROP_TAG(PT_UNICODE, 0x3003), false, S_OK},
      {0x00000001, PR_DISPLAY_NAME_A, false, 0x00000001},
      // A missing address is a failed read.
      {MAPI_W_ERRORS_RETURNED, CHANGE_PROP_TYPE(PR_EMAIL_ADDRESS_A, PT_ERROR), false, MAPI_E_NOT_FOUND},
  };
  for (const Case& c : cases) {
    MailUserStub user(c.status, c.tag);
    LPSPropValue email = nullptr;
    HRESULT status = E_UNEXPECTED;
    EXPECT_EQ(ReadOperatorEmail(&user, &email, &status), c.accepted);
    EXPECT_EQ(status, c.reported);
    MAPIFreeBuffer(email);
  }
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
}

}  // namespace
