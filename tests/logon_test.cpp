// The operator's identity: what the e-mail address read of the start-up
// accepts.
#include "messaging/logon.h"

#include <gtest/gtest.h>

#include "platform/emulation/control.h"
#include "platform/emulation/mapi/unserved.h"

namespace {

// A mail user that answers the e-mail address read with a value of its
// own choosing.
class MailUserStub : public emulation::ObjectBase, public emulation::UnservedMapiProp<IMailUser> {
 public:
  MailUserStub(HRESULT status, ULONG tag)
      : ObjectBase("mail user stub"), UnservedMapiProp<IMailUser>("IMailUser"), status_(status), tag_(tag) {}
  IUnknown* FaceFor(REFIID) override { return static_cast<IMailUser*>(this); }
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

TEST(OperatorEmail, IsAcceptedOnlyWithItsOwnTag) {
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
  emulation::ResetRun();
}

}  // namespace
