// What the start-up asks of the platform, argument by argument, as the
// emulation's trace of platform calls shows it.
#include <gtest/gtest.h>

#include "in_process.h"
#include "platform/emulation/control.h"

namespace {

TEST(StartupCalls, AreMadeInOrderWithThePlatformsFlags) {
  RunInProcess(OperatorOrganisationText(), "\n");
  const std::vector<std::string> expected = {
      "MAPIInitialize(version 0, flags 0x0)",
      // No parent window, profile or password; the dialog, a new session, no spooler.
      "MAPILogonEx(0x0, null, null, 0x8003)",
      "IMAPISession::GetMsgStoresTable(0x0)",
      "HrQueryAllRows([0x3400000B 0x0FFF0102 0x3001001E], null, null, 0)",
      "IMAPISession::OpenMsgStore(0x0, null, 0x4)",
      "IMsgStore::QueryInterface(IExchangeManageStore)",
      "IMAPISession::OpenAddressBook(0x0, null, 0x0)",
      // The empty text for the credentials, then the directory connection:
      // created for IUnknown in context 7, run, asked for _Connection; a
      // 30-second timeout, then the open with the connection string and
      // empty (not null) credentials.
      "SysAllocString(0 characters)",
      "CoCreateInstance(ADODB.Connection, null, 0x7, IUnknown)",
      "OleRun()",
      "_Connection::QueryInterface(_Connection)",
      "Connection15::put_ConnectionTimeout(30)",
      "SysAllocString(21 characters)",
      "Connection15::Open(\"Provider=ADSDSOObject\", \"\", \"\", -1)",
      "IMAPISession::QueryIdentity()",
      "IAddrBook::OpenEntry(IMAPIProp, 0x0)",
      "HrGetOneProp(0x3003001E)",
      "IMailUser::GetProps([0x3003001E], 0x0)",
      // The one-entry address list, and the copy of its two values.
      "MAPIAllocateBuffer(24 bytes)",
      "ScDupPropset()",
      "MAPIAllocateBuffer(80 bytes)",
      // The entry ID and MAPI_TO.
      "IAddrBook::PrepareRecips(0x0, [0x3002001E 0x3003001E 0x800F101E], [[0x0FFF0102 (28 bytes), 0x0C150003 = 1]])",
      // The clean-up closes the connection, and MAPI goes last.
      "Connection15::Close()",
      "MAPIUninitialize()",
  };
  EXPECT_EQ(emulation::CallTrace(), expected);
  emulation::ResetRun();
}

TEST(StartupCalls, ADomainControllerDoesNotReachTheConnection) {
  RunInProcess(OperatorOrganisationText(), "\n");
  const auto withoutOne = emulation::CallTrace();
  emulation::ResetRun();
  RunInProcess(OperatorOrganisationText(), "\n", {"dc01.test.example"});
  EXPECT_EQ(emulation::CallTrace(), withoutOne);
  emulation::ResetRun();
}

}  // namespace
