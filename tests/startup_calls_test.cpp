// What the start-up asks of the platform, argument by argument, as the
// emulation's trace of platform calls shows it.
#include <gtest/gtest.h>

#include "in_process.h"
#include "platform/emulation/control.h"

namespace {

TEST(StartupCalls, AreMadeInOrderWithThePlatformsFlags) {
  RunInProcess(OperatorOrganisationText(), "\n\n");
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
      // created for IUnknown in context 7, run (which asks it whether it
      // can be run), asked for _Connection; a 30-second timeout, then the
      // open with the connection string and empty (not null) credentials.
      "SysAllocString(0 characters)",
      "CoCreateInstance(ADODB.Connection, null, 0x7, IUnknown)",
      "OleRun()",
      "_Connection::QueryInterface(IRunnableObject)",
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
      // The operator in the directory: the naming context from RootDSE,
      // the query over the connection with a static cursor, the user
      // object by the path it returned.
      "ADsGetObject(\"LDAP://RootDSE\", IADs)",
      "SysAllocString(20 characters)",
      "IADs::Get(\"defaultNamingContext\")",
      "CoCreateInstance(ADODB.Recordset, null, 0x7, IUnknown)",
      "OleRun()",
      "_Recordset::QueryInterface(IRunnableObject)",
      "_Recordset::QueryInterface(_Recordset)",
      "SysAllocString(113 characters)",
      "Recordset15::Open(\"<LDAP://DC=test,DC=example>;(&(objectCategory=person)(proxyAddresses=smtp:operator@test."
      "example));adspath;subtree\", connection, 3, 3, 1)",
      "Recordset15::get_EOF()",
      "Recordset15::get_RecordCount()",
      "Recordset15::get_Fields()",
      "Fields15::get_Item(0)",
      "Field20::get_Value()",
      "Recordset15::Close()",
      "ADsGetObject(\"LDAP://CN=Test Operator,CN=Users,DC=test,DC=example\", IADs)",
      // Its account names: the token groups loaded first, then its own SID
      // resolved into "TEST\operator", then the token groups read.
      "ADsBuildVarArrayStr([\"TokenGroups\"], 1)",
      "IADs::GetInfoEx(0x200C, 0)",
      "SysAllocString(9 characters)",
      "IADs::Get(\"objectSid\")",
      "AllocADsMem(28)",
      "SafeArrayAccessData()",
      "LookupAccountSidW(null, S-1-5-21-1000-2000-3000-1104, 260, 260)",
      "SysAllocString(4 characters)",
      "SysAllocString(1 characters)",
      "VarBstrCat()",
      "SysAllocString(8 characters)",
      "VarBstrCat()",
      "SysAllocString(11 characters)",
      "IADs::Get(\"tokenGroups\")",
      // The picker: the modal address dialog on the desktop window, one
      // well titled "Select"; nothing is chosen.
      "GetDesktopWindow()",
      "IAddrBook::Address(window, 0x21, \"Select Mailbox\", 1 well(s) [\"Select\"], focus 0)",
      // The clean-up closes the connection, and MAPI goes last.
      "Connection15::Close()",
      "MAPIUninitialize()",
  };
  EXPECT_EQ(emulation::CallTrace(), expected);
  emulation::ResetRun();
}

TEST(StartupCalls, ADomainControllerReachesOnlyTheRootDseAndTheSearchBase) {
  // The query text's allocation differs in length only.
  const auto traceWithout = [](const char* prefix) {
    std::vector<std::string> calls;
    for (const std::string& call : emulation::CallTrace())
      if (call.rfind(prefix, 0) != 0) calls.push_back(call);
    return calls;
  };
  RunInProcess(OperatorOrganisationText(), "\n\n");
  const auto withoutOne = traceWithout("SysAllocString(113 ");
  emulation::ResetRun();
  RunInProcess(OperatorOrganisationText(), "\n\n", {"dc01.test.example"});
  auto withOne = traceWithout("SysAllocString(131 ");
  emulation::ResetRun();
  size_t named = 0;
  for (std::string& call : withOne) {
    const size_t at = call.find("dc01.test.example/");
    if (at == std::string::npos) continue;
    call.erase(at, 18);
    ++named;
  }
  // RootDSE, the query's base, and the path the query returned.
  EXPECT_EQ(named, 3u);
  EXPECT_EQ(withOne, withoutOne);
}

}  // namespace
