// The fault sweep: a full run (start-up, three picked mailboxes, every
// probe) runs once while the emulation journals every platform call; then,
// for every call of that run, it runs again with that one call failing
// (with the failure status the registry names for it) and again with it
// answering a warning. Every run must exit with 0, leave the ledger empty
// and without violations, reach the MAPI shutdown, and print what the tool
// defines for that call. The allocation sweep then runs out of memory from
// each allocation of the full run on.
//
// To see what a call that the table does not classify yet prints, run the
// sweep with CALDROSE_SWEEP_DUMP=1: it lists every such call with its step,
// mailbox and occurrence, and the lines its failure adds.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "in_process.h"
#include "platform/emulation/control.h"
#include "platform/emulation/runtime/fault_points.h"

namespace {

using Json = nlohmann::json;

constexpr HRESULT kWarning = 0x00000001;         // S_FALSE
constexpr HRESULT kErrorsReturned = 0x00040380;  // MAPI_W_ERRORS_RETURNED
constexpr unsigned kAny = 0;
// The answers: the default profile, then the three mailboxes.
constexpr char kAnswers[] = "\n1,2,3\n";

// What a run with one call failing or warning prints, against the run
// without faults.
struct Outcome {
  enum class Kind {
    Same,   // exactly what the run without faults prints
    Fewer,  // no line of its own: some lines of the run without faults go missing
    Lines,  // these lines, consecutive; "$NAME" and "$ADDRESS" stand for the mailbox's
  };
  Kind kind;
  const char* lines = nullptr;
  const char* moreLines = nullptr;  // Lines: more lines, elsewhere
};

constexpr Outcome Same() { return {Outcome::Kind::Same}; }
constexpr Outcome Fewer() { return {Outcome::Kind::Fewer}; }
constexpr Outcome Lines(const char* lines, const char* moreLines = nullptr) {
  return {Outcome::Kind::Lines, lines, moreLines};
}

// A call of the full run, named by the step of the run it belongs to, the
// mailbox (null: any), the operation and its occurrence within that step of
// that mailbox (kAny: every one).
struct Expectation {
  const char* step;
  const char* mailbox;
  const char* operation;
  unsigned occurrence;
  Outcome onFailure;
  Outcome onWarning = Same();
};

// Lines that recur.
constexpr char kAccountNamesFailed[] = "GetAccountNames failed (80004005) for ada.quill@tamberlyn.example\n";
constexpr char kOperatorQueryFailed[] =
    " - Source: (null) - Description (null) - Command <LDAP://DC=tamberlyn,DC=example>;(&(objectCategory=person)"
    "(proxyAddresses=smtp:ada.quill@tamberlyn.example));adspath;subtree\n"
    "GetUserObject failed (80004005) for ada.quill@tamberlyn.example\n";
constexpr char kOwnerQueryFailed[] =
    " - Source: (null) - Description (null) - Command <LDAP://DC=tamberlyn,DC=example>;(&(objectCategory=person)"
    "(proxyAddresses=smtp:$ADDRESS));adspath;subtree\n{$ADDRESS} Unable to get the user object ffffffff80004005\n";
constexpr char kAdoClosed[] = "IADWrapper::GetUserObject: COM Error 0x800A0E78 - Unknown error 0x800A0E78";
constexpr char kCdoOutOfMemory[] =
    "$NAME: CDO COM exception: Code = 8007000e, WCode = 0000, Code meaning = Not enough memory resources are "
    "available to complete this operation.\n    Description = (null).\n";
constexpr char kSendAsCheckFailed[] = "$NAME: Failed to check Active Directory for Send As permissions (80004005)\n";
constexpr char kBramWithoutHisGrant[] = "$NAME: No Send As permission for the {TAMBERLYN\\aquill} account operator.\n";
constexpr char kBramWithoutHisGrantTo[] =
    "Bram Okafor: No Send As permission for the {TAMBERLYN\\aquill} account operator.\n";

// Concatenated at compile time, for the table's entries.
template <size_t N>
struct Text {
  char text[N]{};
  constexpr operator const char*() const { return text; }
};
template <size_t A, size_t B>
constexpr Text<A + B - 1> Join(const char (&a)[A], const char (&b)[B]) {
  Text<A + B - 1> joined;
  for (size_t i = 0; i + 1 < A; ++i) joined.text[i] = a[i];
  for (size_t i = 0; i < B; ++i) joined.text[A - 1 + i] = b[i];
  return joined;
}
constexpr auto kOperatorAdoClosed = Join(kAdoClosed, kOperatorQueryFailed);
constexpr auto kOwnerAdoClosed = Join(kAdoClosed, kOwnerQueryFailed);
constexpr auto kOperatorItemMissing =
    Join("IADWrapper::GetUserObject: COM Error 0x800A0CC1 - Unknown error 0x800A0CC1", kOperatorQueryFailed);
constexpr auto kOwnerItemMissing =
    Join("IADWrapper::GetUserObject: COM Error 0x800A0CC1 - Unknown error 0x800A0CC1", kOwnerQueryFailed);
constexpr auto kGroupNameRaised = Join("Exception caught for IADWrapper::GetAccountNames\n", kAccountNamesFailed);
constexpr auto kGroupNameNotJoined = Join(
    "IADWrapper::GetAccountNames: COM Error 0x8007000E - Not enough memory resources are available to complete this "
    "operation. - Source: (null) - Description (null)\n",
    kAccountNamesFailed);

// What the tool prints when each call of the full run fails or warns. The
// first entry that matches a call is the one that counts.
const Expectation kExpectations[] = {
    // Start-up: MAPI.
    {"start-up", nullptr, "MAPIInitialize", kAny, Lines("MAPIInitialize() failed (80040605)\n")},
    {"start-up", nullptr, "MAPILogonEx", kAny, Lines("MAPILogonEx() failed (80040111)\n")},
    {"start-up", nullptr, "IMAPISession::GetMsgStoresTable", kAny, Lines("GetMsgStoresTable() failed (80004005)\n")},
    {"start-up", nullptr, "HrQueryAllRows", kAny, Lines("HrQueryAllRows() failed (80004005)\n")},
    {"start-up", nullptr, "IMAPISession::OpenMsgStore", kAny,
     Lines("OpenMsgStore() for this profile failed (80004005)\n")},
    {"start-up", nullptr, "IMsgStore::QueryInterface", kAny, Lines("QueryInterface() failed (80004002)\n")},
    {"start-up", nullptr, "IMAPISession::OpenAddressBook", kAny, Lines("OpenAddressBook() failed (80004005)\n")},
    // Start-up: the directory connection. The empty credentials, then the
    // connection string.
    {"start-up", nullptr, "SysAllocString", 1,
     Lines("Exception caught for IADWrapper::Open\nFailed to open Active Directory (80004005)\n")},
    {"start-up", nullptr, "CoCreateInstance", 1,
     Lines("Failed to create AD connection object ffffffff80040154\nFailed to open Active Directory (80040154)\n")},
    {"start-up", nullptr, "OleRun", 1,
     Lines("Failed to create AD connection object ffffffff80004005\nFailed to open Active Directory (80004005)\n")},
    // OleRun's question whether the object can be run: a failure means
    // that it is running.
    {"start-up", nullptr, "_Connection::QueryInterface", 1, Same()},
    {"start-up", nullptr, "_Connection::QueryInterface", kAny,
     Lines("Failed to create AD connection object ffffffff80004002\nFailed to open Active Directory (80004002)\n")},
    {"start-up", nullptr, "Connection15::put_ConnectionTimeout", kAny,
     Lines(
         "IADWrapper::Open: COM Error 0x800A0E78 - Unknown error 0x800A0E78 - Source: (null) - Description (null)\n")},
    {"start-up", nullptr, "SysAllocString", 2, Lines("Exception caught for IADWrapper::Open\n")},
    {"start-up", nullptr, "Connection15::Open", kAny,
     Lines("IADWrapper::Open: COM Error 0x800A0E78 - Unknown error 0x800A0E78 - Source: (null) - Description (null)\n"),
     Lines("Failed to open Active Directory (00000001)\n")},
    // Start-up: the operator and the operator's SMTP address.
    {"start-up", nullptr, "IMAPISession::QueryIdentity", kAny, Lines("QueryIdentity() failed (80004005)\n")},
    {"start-up", nullptr, "IAddrBook::OpenEntry", kAny, Lines("OpenEntry failed for the current profile (80004005)\n")},
    {"start-up", nullptr, "HrGetOneProp", kAny, Lines("QueryIdentity() failed (80004005)\n")},
    {"start-up", nullptr, "IMailUser::GetProps", kAny, Lines("QueryIdentity() failed (80004005)\n"),
     Lines("QueryIdentity() failed (8004010f)\n")},
    // The one-entry address list, then the copy of its values.
    {"start-up", nullptr, "MAPIAllocateBuffer", 1, Lines("Resolving SMTP address failed (8007000e)\n")},
    {"start-up", nullptr, "MAPIAllocateBuffer", 2, Lines("Resolving SMTP address failed (80004005)\n")},
    {"start-up", nullptr, "ScDupPropset", kAny, Lines("Resolving SMTP address failed (80004005)\n")},
    {"start-up", nullptr, "IAddrBook::PrepareRecips", kAny, Lines("Resolving SMTP address failed (80004005)\n")},
    // Start-up: the operator's user object (RootDSE, its naming context,
    // the query, the object); without it no mailbox can be checked.
    {"start-up", nullptr, "ADsGetObject", 1,
     Lines("{ada.quill@tamberlyn.example} Failed to get RootDSE ffffffff80072030\n"
           "GetUserObject failed (80072030) for ada.quill@tamberlyn.example\n")},
    {"start-up", nullptr, "SysAllocString", 3,
     Lines("Exception caught for IADWrapper::GetUserObject\n"
           "GetUserObject failed (80004005) for ada.quill@tamberlyn.example\n")},
    {"start-up", nullptr, "IADs::Get", 1,
     Lines("{ada.quill@tamberlyn.example} Failed to get defaultNamingContext ffffffff8000500d\n"
           "GetUserObject failed (8000500d) for ada.quill@tamberlyn.example\n")},
    {"start-up", nullptr, "CoCreateInstance", 2,
     Lines("{ada.quill@tamberlyn.example} Failed to create recordset object ffffffff80040154\n")},
    {"start-up", nullptr, "OleRun", 2,
     Lines("{ada.quill@tamberlyn.example} Failed to create recordset object ffffffff80004005\n")},
    {"start-up", nullptr, "_Recordset::QueryInterface", 1, Same()},
    {"start-up", nullptr, "_Recordset::QueryInterface", kAny,
     Lines("{ada.quill@tamberlyn.example} Failed to create recordset object ffffffff80004002\n")},
    // The query text: the lookup's exception, then the close of the
    // recordset that never opened.
    {"start-up", nullptr, "SysAllocString", 4,
     Lines("Exception caught for IADWrapper::GetUserObject\nException caught for IADWrapper::GetUserObject\n")},
    {"start-up", nullptr, "Recordset15::Open", kAny,
     Lines("IADWrapper::GetUserObject: COM Error 0x80040E14 - IDispatch error #3092 - Source: (null) - Description "
           "(null) "
           "- Command <LDAP://DC=tamberlyn,DC=example>;(&(objectCategory=person)(proxyAddresses=smtp:ada.quill@"
           "tamberlyn.example));adspath;subtree\nException caught for IADWrapper::GetUserObject\n"
           "GetUserObject failed (80004005) for ada.quill@tamberlyn.example\n")},
    {"start-up", nullptr, "Recordset15::get_EOF", kAny, Lines(kOperatorAdoClosed)},
    {"start-up", nullptr, "Recordset15::get_RecordCount", kAny, Lines(kOperatorAdoClosed)},
    {"start-up", nullptr, "Recordset15::get_Fields", kAny, Lines(kOperatorAdoClosed)},
    {"start-up", nullptr, "Fields15::get_Item", kAny, Lines(kOperatorItemMissing)},
    {"start-up", nullptr, "Field20::get_Value", kAny, Lines(kOperatorAdoClosed)},
    {"start-up", nullptr, "Recordset15::Close", kAny, Lines(kOperatorAdoClosed)},
    {"start-up", nullptr, "ADsGetObject", 2,
     Lines("{ada.quill@tamberlyn.example} Unable to get AD object LDAP://CN=Ada Quill,OU=Staff,DC=tamberlyn,DC=example "
           "due to ffffffff80072030\nGetUserObject failed (80072030) for ada.quill@tamberlyn.example\n")},
    // Start-up: the operator's account names. Without the own name the
    // first group's name stands for the operator.
    {"start-up", nullptr, "ADsBuildVarArrayStr", kAny,
     Lines("Unable to build the array string ffffffff8007000e\n"
           "GetAccountNames failed (8007000e) for ada.quill@tamberlyn.example\n")},
    {"start-up", nullptr, "IADs::GetInfoEx", kAny,
     Lines("Unable to get the tokenGroups property ffffffff8000500d\n"
           "GetAccountNames failed (8000500d) for ada.quill@tamberlyn.example\n")},
    {"start-up", nullptr, "IADs::Get", 2,
     Lines("Ada Quill: No Send As permission for the {TAMBERLYN\\Domain Users} account operator.\n")},
    {"start-up", nullptr, "IADs::Get", 3,
     Lines("Unable to get the tokenGroups ffffffff8000500d\n"
           "GetAccountNames failed (8000500d) for ada.quill@tamberlyn.example\n")},
    // A group whose SID cannot be read, copied or looked up is left out
    // without a line; the last group's failure is the method's result.
    {"start-up", nullptr, "SafeArrayGetElement", 3,
     Lines("GetAccountNames failed (8002000b) for ada.quill@tamberlyn.example\n", kBramWithoutHisGrantTo)},
    {"start-up", nullptr, "SafeArrayGetElement", kAny, Same()},
    {"start-up", nullptr, "AllocADsMem", 1,
     Lines("Ada Quill: No Send As permission for the {TAMBERLYN\\Domain Users} account operator.\n")},
    {"start-up", nullptr, "AllocADsMem", 4,
     Lines("GetAccountNames failed (8007000e) for ada.quill@tamberlyn.example\n", kBramWithoutHisGrantTo)},
    {"start-up", nullptr, "AllocADsMem", kAny, Same()},
    {"start-up", nullptr, "SafeArrayAccessData", 1,
     Lines("Ada Quill: No Send As permission for the {TAMBERLYN\\Domain Users} account operator.\n")},
    {"start-up", nullptr, "SafeArrayAccessData", 4,
     Lines("GetAccountNames failed (80004005) for ada.quill@tamberlyn.example\n", kBramWithoutHisGrantTo)},
    {"start-up", nullptr, "SafeArrayAccessData", kAny, Same()},
    {"start-up", nullptr, "LookupAccountSidW", 1,
     Lines("Ada Quill: No Send As permission for the {TAMBERLYN\\Domain Users} account operator.\n")},
    {"start-up", nullptr, "LookupAccountSidW", 4,
     Lines("GetAccountNames failed (80004005) for ada.quill@tamberlyn.example\n", kBramWithoutHisGrantTo)},
    {"start-up", nullptr, "LookupAccountSidW", kAny, Same()},
    // A name that cannot be built is an exception of the method: the own
    // name's strings (the list stays empty), then the groups'.
    {"start-up", nullptr, "SysAllocString", 5, Lines("Exception caught for IADWrapper::GetAccountNames\n")},
    {"start-up", nullptr, "SysAllocString", 6, Lines("Exception caught for IADWrapper::GetAccountNames\n")},
    {"start-up", nullptr, "SysAllocString", 7, Lines("Exception caught for IADWrapper::GetAccountNames\n")},
    {"start-up", nullptr, "SysAllocString", 8, Lines("Exception caught for IADWrapper::GetAccountNames\n")},
    {"start-up", nullptr, "VarBstrCat", 1,
     Lines("IADWrapper::GetAccountNames: COM Error 0x8007000E - Not enough memory resources are available to complete "
           "this operation. - Source: (null) - Description (null)\n")},
    {"start-up", nullptr, "VarBstrCat", 2,
     Lines("IADWrapper::GetAccountNames: COM Error 0x8007000E - Not enough memory resources are available to complete "
           "this operation. - Source: (null) - Description (null)\n")},
    // The groups' names: the exception ends the list after the own name,
    // which then misses Bram's grant to a group.
    {"start-up", nullptr, "SysAllocString", kAny, Lines(kGroupNameRaised, kBramWithoutHisGrantTo)},
    {"start-up", nullptr, "VarBstrCat", kAny, Lines(kGroupNameNotJoined, kBramWithoutHisGrantTo)},

    // The picker: without a desktop window the dialog has no parent. An
    // entry whose properties come back with errors is dropped silently.
    {"picker", nullptr, "GetDesktopWindow", kAny, Same()},
    {"picker", nullptr, "IAddrBook::Address", kAny, Lines("Display GAL failed (80004005)\n")},
    {"picker", nullptr, "IAddrBook::OpenEntry", kAny,
     Lines("OpenEntry failed for user chosen from Address Book (80004005)\n")},
    {"picker", nullptr, "IMailUser::GetProps", kAny, Lines("GetProps failed (80004005)\n"), Fewer()},

    // The mailbox access probe.
    {"access", nullptr, "IExchangeManageStore::CreateStoreEntryID", kAny,
     Lines("CreateStoreEntryID failed (80004005)\n")},
    {"access", nullptr, "IMAPISession::OpenMsgStore", kAny, Lines("$NAME: OpenMsgStore failed (80004005)\n")},
    {"access", nullptr, "IMsgStore::OpenEntry", kAny, Lines("$NAME: Open Root Folder failed (80004005)\n")},
    {"access", nullptr, "IMAPIFolder::CreateFolder", kAny, Lines("$NAME: Failed to create a folder in mailbox\n")},
    {"access", nullptr, "HrGetOneProp", kAny, Lines("$NAME: Failed to get EntryID for created folder (80004005)\n")},
    {"access", nullptr, "IMAPIFolder::GetProps", kAny,
     Lines("$NAME: Failed to get EntryID for created folder (80004005)\n"),
     Lines("$NAME: Failed to get EntryID for created folder (8004010f)\n")},
    {"access", nullptr, "IMAPIFolder::DeleteFolder", kAny, Lines("$NAME: Failed to delete test folder, (80004005)\n")},

    // The CDO probe: the profile text, the session, the logon's two empty
    // strings, the logon, the calendar, its name, the logoff. Cleo's logon
    // fails anyway: its error report then needs an error object and a
    // message text.
    {"cdo", nullptr, "SysAllocString", kAny, Lines(kCdoOutOfMemory)},
    {"cdo", nullptr, "CLSIDFromProgID", kAny,
     Lines("$NAME: CreateInstance failed (0x800401f3)\n$NAME: CDO test failed\n")},
    {"cdo", nullptr, "CoCreateInstance", kAny,
     Lines("$NAME: CreateInstance failed (0x80040154)\n$NAME: CDO test failed\n")},
    {"cdo", nullptr, "OleRun", kAny, Lines("$NAME: CreateInstance failed (0x80004005)\n$NAME: CDO test failed\n")},
    {"cdo", nullptr, "Session::QueryInterface", 1, Same()},
    {"cdo", nullptr, "Session::QueryInterface", kAny,
     Lines("$NAME: CreateInstance failed (0x80004002)\n$NAME: CDO test failed\n")},
    {"cdo", "Cleo Marsh", "Session::Logon", kAny,
     Lines("$NAME: CDO COM exception: Code = 80040111, WCode = 0000, Code meaning = Unknown error 0x80040111\n"
           "    Description = (null).\n")},
    {"cdo", nullptr, "Session::Logon", kAny,
     Lines("$NAME: CDO COM exception: Code = 80040111, WCode = 0000, Code meaning = Unknown error 0x80040111\n"
           "    Description = (null).\n$NAME: CDO test failed\n")},
    {"cdo", nullptr, "Session::GetDefaultFolder", kAny,
     Lines("$NAME: CDO COM exception: Code = 8004010f, WCode = 0000, Code meaning = Unknown error 0x8004010F\n"
           "    Description = (null).\n$NAME: CDO test failed\n")},
    {"cdo", nullptr, "Folder::QueryInterface", kAny,
     Lines("$NAME: Get default calendar folder successful\n"
           "$NAME: CDO COM exception: Code = 80004003, WCode = 0000, Code meaning = Invalid pointer\n"
           "    Description = (null).\n$NAME: CDO test failed\n")},
    {"cdo", nullptr, "Folder::Name", kAny,
     Lines("$NAME: CDO COM exception: Code = 80004005, WCode = 0000, Code meaning = Unspecified error\n"
           "    Description = (null).\n$NAME: CDO test failed\n")},
    // The name was read: the probe has succeeded.
    {"cdo", nullptr, "Session::Logoff", kAny,
     Lines("$NAME: CDO COM exception: Code = 80004005, WCode = 0000, Code meaning = Unspecified error\n"
           "    Description = (null).\n$NAME: CDO test completed successfully\n")},
    // Without an error object the report has no description; without a
    // message text the meaning is the platform's fallback.
    {"cdo", nullptr, "ICreateErrorInfo::QueryInterface", kAny,
     Lines("$NAME: CDO COM exception: Code = 80040111, WCode = 0000, Code meaning = Unknown error 0x80040111\n"
           "    Description = (null).\n")},
    {"cdo", nullptr, "FormatMessageA", kAny, Same()},

    // The mailbox's SMTP address: without it there is no Send-As check and
    // no web-services probe.
    {"smtp", nullptr, "MAPIAllocateBuffer", 1, Lines("$NAME: Failed to resolve the SMTP address (8007000e)\n")},
    {"smtp", nullptr, "MAPIAllocateBuffer", 2, Lines("$NAME: Failed to resolve the SMTP address (80004005)\n")},
    {"smtp", nullptr, "ScDupPropset", kAny, Lines("$NAME: Failed to resolve the SMTP address (80004005)\n")},
    {"smtp", nullptr, "IAddrBook::PrepareRecips", kAny,
     Lines("$NAME: Failed to resolve the SMTP address (80004005)\n")},

    // The Send-As check: the owner's user object, as for the operator.
    {"send-as", nullptr, "ADsGetObject", 1,
     Lines("{$ADDRESS} Failed to get RootDSE ffffffff80072030\n{$ADDRESS} Unable to get the user object "
           "ffffffff80072030\n$NAME: Failed to check Active Directory for Send As permissions (80072030)\n")},
    {"send-as", nullptr, "SysAllocString", 1,
     Lines("Exception caught for IADWrapper::GetUserObject\n{$ADDRESS} Unable to get the user object "
           "ffffffff80004005\n")},
    {"send-as", nullptr, "IADs::Get", 1,
     Lines("{$ADDRESS} Failed to get defaultNamingContext ffffffff8000500d\n{$ADDRESS} Unable to get the user object "
           "ffffffff8000500d\n$NAME: Failed to check Active Directory for Send As permissions (8000500d)\n")},
    {"send-as", nullptr, "CoCreateInstance", kAny,
     Lines("{$ADDRESS} Failed to create recordset object ffffffff80040154\n{$ADDRESS} Unable to get the user object "
           "ffffffff80040154\n$NAME: Failed to check Active Directory for Send As permissions (80040154)\n")},
    {"send-as", nullptr, "OleRun", kAny,
     Lines("{$ADDRESS} Failed to create recordset object ffffffff80004005\n{$ADDRESS} Unable to get the user object "
           "ffffffff80004005\n$NAME: Failed to check Active Directory for Send As permissions (80004005)\n")},
    {"send-as", nullptr, "_Recordset::QueryInterface", 1, Same()},
    {"send-as", nullptr, "_Recordset::QueryInterface", kAny,
     Lines("{$ADDRESS} Failed to create recordset object ffffffff80004002\n{$ADDRESS} Unable to get the user object "
           "ffffffff80004002\n$NAME: Failed to check Active Directory for Send As permissions (80004002)\n")},
    {"send-as", nullptr, "SysAllocString", 2,
     Lines("Exception caught for IADWrapper::GetUserObject\nException caught for IADWrapper::GetUserObject\n"
           "{$ADDRESS} Unable to get the user object ffffffff80004005\n")},
    {"send-as", nullptr, "Recordset15::Open", kAny,
     Lines("IADWrapper::GetUserObject: COM Error 0x80040E14 - IDispatch error #3092 - Source: (null) - Description "
           "(null) - Command <LDAP://DC=tamberlyn,DC=example>;(&(objectCategory=person)(proxyAddresses=smtp:$ADDRESS));"
           "adspath;subtree\nException caught for IADWrapper::GetUserObject\n{$ADDRESS} Unable to get the user object "
           "ffffffff80004005\n")},
    {"send-as", nullptr, "Recordset15::get_EOF", kAny, Lines(kOwnerAdoClosed)},
    {"send-as", nullptr, "Recordset15::get_RecordCount", kAny, Lines(kOwnerAdoClosed)},
    {"send-as", nullptr, "Recordset15::get_Fields", kAny, Lines(kOwnerAdoClosed)},
    {"send-as", nullptr, "Fields15::get_Item", kAny, Lines(kOwnerItemMissing)},
    {"send-as", nullptr, "Field20::get_Value", kAny, Lines(kOwnerAdoClosed)},
    {"send-as", nullptr, "Recordset15::Close", kAny, Lines(kOwnerAdoClosed)},
    {"send-as", nullptr, "ADsGetObject", 2,
     Lines("{$ADDRESS} Unable to get AD object LDAP://CN=$NAME,OU=Staff,DC=tamberlyn,DC=example due to "
           "ffffffff80072030\n{$ADDRESS} Unable to get the user object ffffffff80072030\n")},
    // Its security descriptor and access-control list.
    {"send-as", nullptr, "SysAllocString", 3,
     Lines("Exception caught for IADWrapper::HasSendAsPermission\n"
           "$NAME: Failed to check Active Directory for Send "
           "As permissions (80004005)\n")},
    {"send-as", nullptr, "IADs::Get", 2,
     Lines("{$ADDRESS} Unable to get NTSecurityDescriptor ffffffff8000500d\n$NAME: Failed to check Active Directory "
           "for Send As permissions (8000500d)\n")},
    {"send-as", nullptr, "IADsSecurityDescriptor::QueryInterface", kAny,
     Lines("$NAME: Failed to check Active Directory for Send As permissions (80004002)\n")},
    {"send-as", nullptr, "IADsSecurityDescriptor::get_DiscretionaryAcl", kAny,
     Lines("{$ADDRESS} Unable to get the DescretionaryACL ffffffff80004005\n"
           "$NAME: Failed to check Active Directory "
           "for Send As permissions (80004005)\n")},
    {"send-as", nullptr, "IADsAccessControlList::QueryInterface", kAny,
     Lines("{$ADDRESS} Unable to get the AccessControlList ffffffff80004002\n$NAME: Failed to check Active Directory "
           "for Send As permissions (80004002)\n")},
    {"send-as", nullptr, "IADsAccessControlList::get__NewEnum", kAny,
     Lines("{$ADDRESS} Unable to enumerate the AccessControlList ffffffff80004005\n$NAME: Failed to check Active "
           "Directory for Send As permissions (80004005)\n")},
    {"send-as", nullptr, "IEnumVARIANT::QueryInterface", kAny,
     Lines("{$ADDRESS} Unable to query the enumeration for the AccessControlList ffffffff80004002\n$NAME: Failed to "
           "check Active Directory for Send As permissions (80004002)\n")},
    // A warning from the enumerator ends the list: Bram's grant, his
    // second entry, is then not seen.
    {"send-as", "Bram Okafor", "IEnumVARIANT::Next", 1, Lines(kSendAsCheckFailed), Lines(kBramWithoutHisGrant)},
    {"send-as", "Bram Okafor", "IEnumVARIANT::Next", 2, Lines(kSendAsCheckFailed), Lines(kBramWithoutHisGrant)},
    {"send-as", nullptr, "IEnumVARIANT::Next", kAny, Lines(kSendAsCheckFailed)},
    // An entry that cannot be read is passed over: Bram's grant is missed.
    {"send-as", "Bram Okafor", "IADsAccessControlEntry::QueryInterface", 2, Lines(kBramWithoutHisGrant)},
    {"send-as", "Bram Okafor", "IADsAccessControlEntry::get_ObjectType", 2, Lines(kBramWithoutHisGrant)},
    {"send-as", "Bram Okafor", "IADsAccessControlEntry::get_AceType", 2, Lines(kBramWithoutHisGrant)},
    {"send-as", "Bram Okafor", "IADsAccessControlEntry::get_Flags", 2, Lines(kBramWithoutHisGrant)},
    {"send-as", "Bram Okafor", "IADsAccessControlEntry::get_AccessMask", 2, Lines(kBramWithoutHisGrant)},
    {"send-as", "Bram Okafor", "IADsAccessControlEntry::get_Trustee", 2, Lines(kBramWithoutHisGrant)},
    {"send-as", nullptr, "IADsAccessControlEntry::QueryInterface", kAny, Same()},
    {"send-as", nullptr, "IADsAccessControlEntry::get_ObjectType", kAny, Same()},
    {"send-as", nullptr, "IADsAccessControlEntry::get_AceType", kAny, Same()},
    {"send-as", nullptr, "IADsAccessControlEntry::get_Flags", kAny, Same()},
    {"send-as", nullptr, "IADsAccessControlEntry::get_AccessMask", kAny, Same()},
    {"send-as", nullptr, "IADsAccessControlEntry::get_Trustee", kAny, Same()},

    // The web-services probe. A failed wait leaves Verrick running: what
    // the probe then finds of the report depends on how far it got. A
    // failed read copies nothing; a failed delete leaves the file; neither
    // is printed.
    {"web", nullptr, "GetTempPathA", kAny, Lines("$NAME: Could not create temporary file for Verrick\n")},
    {"web", nullptr, "GetTempFileNameA", kAny, Lines("$NAME: Could not create temporary file for Verrick\n")},
    {"web", nullptr, "CreateProcessA", kAny, Lines("$NAME: Unable to execute Verrick\n")},
    {"web", nullptr, "WaitForSingleObject", kAny, Lines("$NAME: Unable to execute Verrick\n"),
     Lines("$NAME: Unable to execute Verrick\n")},
    {"web", nullptr, "CreateFileA", kAny, Lines("$NAME: Could not open temporary file for Verrick\n")},
    {"web", nullptr, "ReadFile", kAny, Fewer()},
    {"web", nullptr, "DeleteFileA", kAny, Same()},
    // A handle that will not close stays with the process (see below).
    {"web", nullptr, "CloseHandle", kAny, Same()},

    // The clean-up.
    {"clean-up", nullptr, "Connection15::Close", kAny, Lines("Exception caught for IADWrapper::Close\n")},
};

// Calls the platform makes that cannot fail, so are no fault points.
const std::set<std::string> kCallsThatCannotFail = {"MAPIUninitialize"};

// A step of the run, named by the call that begins it: the step begins at
// that call, or callsBefore calls before it.
struct StepStart {
  const char* step;
  const char* operation;
  size_t callsBefore;
};

// The steps of a run in order; after "web" the next mailbox's "access"
// follows, or the clean-up.
const StepStart kSteps[] = {
    {"start-up", "", 0},
    {"picker", "GetDesktopWindow", 0},
    {"access", "IExchangeManageStore::CreateStoreEntryID", 0},
    {"cdo", "CLSIDFromProgID", 1},  // its profile text comes first
    {"smtp", "MAPIAllocateBuffer", 0},
    {"send-as", "ADsGetObject", 0},
    {"web", "GetTempPathA", 0},
    {"clean-up", "Connection15::Close", 0},
};
constexpr size_t kAccessStep = 2, kWebStep = 6, kCleanUpStep = 7;

struct Mailbox {
  std::string name;
  std::string address;
};

// One call of the full run: the operation and its occurrence in the run
// (what a fault names), and where it stands.
struct Point {
  std::string operation;
  unsigned occurrence;
  const char* step;
  int mailbox;                // -1 outside the mailbox loop
  unsigned occurrenceInStep;  // among the calls of the operation in this step of this mailbox
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string FullRunPath() { return std::string(CALDROSE_TEST_DATA) + "/full-run.json"; }

// The picked mailboxes, in the order of the answers: the address book's.
std::vector<Mailbox> MailboxesOf(const Json& organisation) {
  std::vector<Mailbox> mailboxes;
  for (const Json& entry : organisation["addressBook"]) {
    Mailbox mailbox{entry["displayName"].get<std::string>(), ""};
    for (const Json& proxy : entry["proxyAddresses"]) {
      const std::string text = proxy.get<std::string>();
      if (text.rfind("SMTP:", 0) == 0 || text.rfind("smtp:", 0) == 0) {
        mailbox.address = text.substr(5);
        break;
      }
    }
    mailboxes.push_back(mailbox);
  }
  return mailboxes;
}

// Places every fault-point call of a journal in its step and mailbox.
std::vector<Point> PointsOf(const std::vector<emulation::Event>& journal) {
  std::vector<const emulation::Event*> calls;
  for (const emulation::Event& event : journal)
    if (event.kind == emulation::Event::Kind::Call) calls.push_back(&event);

  std::vector<Point> points;
  std::map<std::string, unsigned> inRun;
  std::map<std::tuple<int, size_t, std::string>, unsigned> inStep;
  size_t step = 0;
  int mailbox = -1;
  for (size_t i = 0; i < calls.size(); ++i) {
    std::vector<size_t> next = {step + 1};
    if (step == kWebStep) next = {kAccessStep, kCleanUpStep};
    for (size_t candidate : next) {
      if (candidate >= std::size(kSteps)) continue;
      const size_t at = i + kSteps[candidate].callsBefore;
      if (at < calls.size() && calls[at]->operation == kSteps[candidate].operation) {
        step = candidate;
        if (step == kAccessStep) ++mailbox;
        if (step == kCleanUpStep) mailbox = -1;
        break;
      }
    }
    const std::string& operation = calls[i]->operation;
    if (emulation::FindFaultPoint(operation) == nullptr) {
      EXPECT_TRUE(kCallsThatCannotFail.count(operation)) << operation << " is a platform call but no fault point";
      continue;
    }
    points.push_back({operation, ++inRun[operation], kSteps[step].step, mailbox, ++inStep[{mailbox, step, operation}]});
  }
  return points;
}

const Expectation* ExpectationFor(const Point& point, const std::vector<Mailbox>& mailboxes) {
  for (const Expectation& expectation : kExpectations) {
    if (point.step != std::string(expectation.step) || point.operation != expectation.operation) continue;
    if (expectation.occurrence != kAny && expectation.occurrence != point.occurrenceInStep) continue;
    if (expectation.mailbox != nullptr && (point.mailbox < 0 || mailboxes[point.mailbox].name != expectation.mailbox))
      continue;
    return &expectation;
  }
  return nullptr;
}

std::string Substituted(std::string text, const Point& point, const std::vector<Mailbox>& mailboxes) {
  if (point.mailbox < 0) return text;
  const Mailbox& mailbox = mailboxes[point.mailbox];
  for (const auto& [placeholder, value] :
       {std::pair<std::string, std::string>{"$NAME", mailbox.name}, {"$ADDRESS", mailbox.address}})
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
      text.replace(at, placeholder.size(), value);
  return text;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of out that the run without faults does not print.
std::vector<std::string> NewLines(const std::string& out, const std::string& baseline) {
  std::multiset<std::string> known;
  for (const std::string& line : LinesOf(baseline)) known.insert(line);
  std::vector<std::string> added;
  for (const std::string& line : LinesOf(out)) {
    const auto found = known.find(line);
    if (found == known.end())
      added.push_back(line);
    else
      known.erase(found);
  }
  return added;
}

// Whether lines (whole lines, consecutive) appear in out.
bool HasLines(const std::string& out, const std::string& lines) {
  for (size_t at = out.find(lines); at != std::string::npos; at = out.find(lines, at + 1))
    if (at == 0 || out[at - 1] == '\n') return true;
  return false;
}

// The full run's world: its organisation, where Verrick finds it too, and
// a temporary directory of its own for the reports, which failed runs may
// leave behind.
class FaultSweep : public testing::Test {
 protected:
  void SetUp() override {
    organisation_ = Json::parse(ReadFile(FullRunPath()));
    // Verrick starts as a child process for every mailbox of every run;
    // runs that fail a call outside the web-services probe run without it.
    withoutVerrick_ = organisation_;
    withoutVerrick_["verrick"]["installed"] = false;
    mailboxes_ = MailboxesOf(organisation_);
    char directory[] = "/tmp/caldrose-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    temporaryDirectory_ = directory;
    setenv("CALDROSE_ORGANISATION", FullRunPath().c_str(), 1);
    setenv("TMP", temporaryDirectory_.c_str(), 1);
    emulation::ResetRun();
  }

  void TearDown() override {
    unsetenv("CALDROSE_ORGANISATION");
    unsetenv("TMP");
    std::filesystem::remove_all(temporaryDirectory_);
  }

  std::string WithFaults(const Json& faults, bool verrick = true) const {
    Json organisation = verrick ? organisation_ : withoutVerrick_;
    organisation["faults"] = faults;
    return organisation.dump();
  }

  static Json Fault(const std::string& operation, unsigned occurrence, HRESULT status) {
    return {{"operation", operation}, {"occurrence", occurrence}, {"status", static_cast<int64_t>(status)}};
  }

  // Runs the full run on organisation and checks what every run must give:
  // the exit code (RunInProcess), nothing held or released wrongly, and the
  // MAPI shutdown as the last call. allowedToStay: a handle the run could
  // not close. Returns what the run printed.
  std::string CheckedRun(const std::string& organisation, const std::string& what, bool handleStays = false) {
    const std::string out = RunInProcess(organisation, kAnswers);
    const std::vector<std::string> live = emulation::LedgerLive();
    if (handleStays)
      EXPECT_TRUE(live.size() == 1 && live[0].rfind("handle ", 0) == 0) << what << ": " << testing::PrintToString(live);
    else
      EXPECT_EQ(live, std::vector<std::string>{}) << what;
    EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{}) << what;
    const auto journal = emulation::Journal();
    EXPECT_TRUE(!journal.empty() && journal.back() == emulation::Call("MAPIUninitialize")) << what << ": no shutdown";
    emulation::ResetRun();
    return out;
  }

  void CheckOutcome(const Outcome& expected, const std::string& out, const std::string& baseline, const Point& point,
                    const std::string& what) {
    switch (expected.kind) {
      case Outcome::Kind::Same:
        EXPECT_EQ(out, baseline) << what;
        break;
      case Outcome::Kind::Fewer:
        EXPECT_NE(out, baseline) << what;
        EXPECT_EQ(NewLines(out, baseline), std::vector<std::string>{}) << what;
        break;
      case Outcome::Kind::Lines:
        EXPECT_TRUE(HasLines(out, Substituted(expected.lines, point, mailboxes_))) << what << " printed:\n" << out;
        if (expected.moreLines != nullptr) {
          EXPECT_TRUE(HasLines(out, Substituted(expected.moreLines, point, mailboxes_))) << what << " printed:\n"
                                                                                         << out;
        }
        break;
    }
  }

  Json organisation_;
  Json withoutVerrick_;
  std::vector<Mailbox> mailboxes_;
  std::string temporaryDirectory_;
};

TEST_F(FaultSweep, EveryCallOfAFullRunFailsAndWarnsCleanly) {
  const std::string clean = organisation_.dump();
  const std::string baseline = CheckedRun(clean, "the run without faults");
  RunInProcess(clean, kAnswers);
  const std::vector<Point> points = PointsOf(emulation::Journal());
  emulation::ResetRun();
  // Without Verrick the probe makes the same calls: the start fails, and
  // the empty report is opened, copied and deleted.
  const std::string quiet = WithFaults(Json::array(), false);
  const std::string baselineWithoutVerrick = CheckedRun(quiet, "the run without Verrick");
  RunInProcess(quiet, kAnswers);
  const std::vector<Point> pointsWithoutVerrick = PointsOf(emulation::Journal());
  emulation::ResetRun();
  ASSERT_EQ(pointsWithoutVerrick.size(), points.size());
  for (size_t i = 0; i < points.size(); ++i)
    ASSERT_EQ(pointsWithoutVerrick[i].operation, points[i].operation) << "call " << i + 1 << " without Verrick";
  ASSERT_EQ(mailboxes_.size(), 3u);
  for (const Mailbox& mailbox : mailboxes_)
    ASSERT_TRUE(HasLines(baseline, mailbox.name + ": CDO test completed successfully\n") ||
                HasLines(baseline, mailbox.name + ": CDO test failed\n"))
        << mailbox.name << " was not tested";

  const bool dump = getenv("CALDROSE_SWEEP_DUMP") != nullptr;
  std::set<std::string> operations;
  for (const Point& point : points) {
    operations.insert(point.operation);
    const std::string where =
        std::string(point.step) + (point.mailbox >= 0 ? ", " + mailboxes_[point.mailbox].name : "");
    const std::string name = point.operation + " #" + std::to_string(point.occurrence) + " (" + where + " #" +
                             std::to_string(point.occurrenceInStep) + ")";
    const bool verrick = point.step == std::string("web");
    const std::string& expectedBaseline = verrick ? baseline : baselineWithoutVerrick;
    const HRESULT failure = emulation::FindFaultPoint(point.operation)->typicalFailure;
    const bool closeFails = point.operation == "CloseHandle";
    const std::string failed =
        CheckedRun(WithFaults(Json::array({Fault(point.operation, point.occurrence, failure)}), verrick),
                   name + " failing", closeFails);
    const Expectation* expected = ExpectationFor(point, mailboxes_);
    if (expected == nullptr) {
      ADD_FAILURE() << name << " is a call the sweep does not classify: add it to kExpectations";
      if (dump)
        for (const std::string& line : NewLines(failed, expectedBaseline)) std::cerr << "  + " << line << "\n";
      continue;
    }
    CheckOutcome(expected->onFailure, failed, expectedBaseline, point, name + " failing");

    const HRESULT warning = point.operation.ends_with("::GetProps") ? kErrorsReturned : kWarning;
    const std::string warned = CheckedRun(
        WithFaults(Json::array({Fault(point.operation, point.occurrence, warning)}), verrick), name + " warning");
    CheckOutcome(expected->onWarning, warned, expectedBaseline, point, name + " warning");
  }
  std::cout << "fault sweep: " << points.size() << " fault points, " << operations.size() << " operations\n";
  EXPECT_GE(operations.size(), 70u);
}

// The allocators of the platform: each can fail at its n-th call.
const char* const kAllocators[] = {"MAPIAllocateBuffer", "MAPIAllocateMore", "SysAllocString", "SysAllocStringLen",
                                   "AllocADsMem"};
// Allocations a failing run may make beyond those of the full run, on its
// error paths.
constexpr unsigned kExtraAllocations = 64;

// Memory runs out at the n-th allocation of the full run, for every n: that
// allocation and every later one fail. (Each allocation failing alone is
// part of the fault sweep above.)
TEST_F(FaultSweep, RunningOutOfMemoryAtEveryAllocationEndsCleanly) {
  RunInProcess(organisation_.dump(), kAnswers);
  std::vector<std::pair<std::string, unsigned>> allocations;
  std::map<std::string, unsigned> counts;
  for (const emulation::Event& event : emulation::Journal())
    if (event.kind == emulation::Event::Kind::Call &&
        std::find(std::begin(kAllocators), std::end(kAllocators), event.operation) != std::end(kAllocators))
      allocations.emplace_back(event.operation, ++counts[event.operation]);
  emulation::ResetRun();
  ASSERT_GT(allocations.size(), 40u);

  for (size_t n = 0; n < allocations.size(); ++n) {
    // From the n-th allocation on: each allocator's calls from its first
    // one at or after n.
    std::map<std::string, unsigned> firstFailing;
    for (size_t k = n; k < allocations.size(); ++k) firstFailing.emplace(allocations[k]);
    Json faults = Json::array();
    for (const char* allocator : kAllocators) {
      const auto found = firstFailing.find(allocator);
      const unsigned first = found != firstFailing.end() ? found->second : counts[allocator] + 1;
      for (unsigned occurrence = first; occurrence <= counts[allocator] + kExtraAllocations; ++occurrence)
        faults.push_back(Fault(allocator, occurrence, emulation::FindFaultPoint(allocator)->typicalFailure));
    }
    const std::string what =
        "out of memory from " + allocations[n].first + " #" + std::to_string(allocations[n].second);
    const std::string out = CheckedRun(WithFaults(faults), what);
    EXPECT_EQ(out.rfind("Tamberlyn Utility", 0), 0u) << what;
  }
  std::cout << "allocation sweep: " << allocations.size() << " allocations\n";
}

}  // namespace
