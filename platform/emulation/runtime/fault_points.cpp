#include "platform/emulation/runtime/fault_points.h"

#include <unordered_map>

namespace emulation {

namespace {

constexpr HRESULT kCallFailed = static_cast<HRESULT>(0x80004005);        // MAPI_E_CALL_FAILED, E_FAIL
constexpr HRESULT kNoMemory = static_cast<HRESULT>(0x8007000E);          // MAPI_E_NOT_ENOUGH_MEMORY
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002);       // E_NOINTERFACE
constexpr HRESULT kNotRegistered = static_cast<HRESULT>(0x80040154);     // REGDB_E_CLASSNOTREG
constexpr HRESULT kClassString = static_cast<HRESULT>(0x800401F3);       // CO_E_CLASSSTRING
constexpr HRESULT kNoSuchObject = static_cast<HRESULT>(0x80072030);      // no such object on the server
constexpr HRESULT kAdoClosed = static_cast<HRESULT>(0x800A0E78);         // ADO: the object is closed
constexpr HRESULT kNotInitialized = static_cast<HRESULT>(0x80040605);    // MAPI_E_NOT_INITIALIZED
constexpr HRESULT kErrorsInCommand = static_cast<HRESULT>(0x80040E14);   // DB_E_ERRORSINCOMMAND
constexpr HRESULT kItemNotFound = static_cast<HRESULT>(0x800A0CC1);      // ADO: no such item
constexpr HRESULT kPropertyNotFound = static_cast<HRESULT>(0x8000500D);  // E_ADS_PROPERTY_NOT_FOUND
constexpr HRESULT kBadIndex = static_cast<HRESULT>(0x8002000B);          // DISP_E_BADINDEX
constexpr HRESULT kLogonFailed = static_cast<HRESULT>(0x80040111);       // MAPI_E_LOGON_FAILED
// Win32 errors as statuses: a planned one becomes the call's last error.
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);      // ERROR_FILE_NOT_FOUND
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);      // ERROR_PATH_NOT_FOUND
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);      // ERROR_ACCESS_DENIED
constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0x80070006);     // ERROR_INVALID_HANDLE
constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8007001E);         // ERROR_READ_FAULT
constexpr HRESULT kSharingViolation = static_cast<HRESULT>(0x80070020);  // ERROR_SHARING_VIOLATION

constexpr FaultPoint kFaultPoints[] = {
    // Extended MAPI
    {"MAPIInitialize", kNotInitialized},
    {"MAPILogonEx", kLogonFailed},
    {"MAPIAllocateBuffer", kNoMemory},
    {"MAPIAllocateMore", kNoMemory},
    {"ScDupPropset", kNoMemory},
    {"HrQueryAllRows", kCallFailed},
    {"HrGetOneProp", kCallFailed},
    {"IMAPISession::QueryInterface", kNoInterface},
    {"IMAPISession::GetMsgStoresTable", kCallFailed},
    {"IMAPISession::OpenMsgStore", kCallFailed},
    {"IMAPISession::OpenAddressBook", kCallFailed},
    {"IMAPISession::QueryIdentity", kCallFailed},
    {"IMAPITable::QueryInterface", kNoInterface},
    {"IMsgStore::QueryInterface", kNoInterface},
    {"IMsgStore::OpenEntry", kCallFailed},
    {"IExchangeManageStore::QueryInterface", kNoInterface},
    {"IExchangeManageStore::CreateStoreEntryID", kCallFailed},
    {"IMAPIFolder::QueryInterface", kNoInterface},
    {"IMAPIFolder::GetProps", kCallFailed},
    {"IMAPIFolder::CreateFolder", kCallFailed},
    {"IMAPIFolder::DeleteFolder", kCallFailed},
    {"IAddrBook::QueryInterface", kNoInterface},
    {"IAddrBook::OpenEntry", kCallFailed},
    {"IAddrBook::Address", kCallFailed},
    {"IAddrBook::PrepareRecips", kCallFailed},
    {"IMailUser::QueryInterface", kNoInterface},
    {"IMailUser::GetProps", kCallFailed},
    // COM and OLE Automation
    {"CoCreateInstance", kNotRegistered},
    {"CLSIDFromProgID", kClassString},
    {"CLSIDFromString", kClassString},
    {"OleRun", kCallFailed},
    {"SysAllocString", kNoMemory},
    {"SysAllocStringLen", kNoMemory},
    {"GetErrorInfo", kCallFailed},
    {"CreateErrorInfo", kNoMemory},
    {"VariantChangeType", static_cast<HRESULT>(0x80020005)},  // DISP_E_TYPEMISMATCH
    {"IErrorInfo::QueryInterface", kNoInterface},
    {"ICreateErrorInfo::QueryInterface", kNoInterface},
    {"SafeArrayGetElement", kBadIndex},
    {"SafeArrayAccessData", kCallFailed},
    {"VarBstrCat", kNoMemory},
    // ADO
    {"_Connection::QueryInterface", kNoInterface},
    {"ISupportErrorInfo::QueryInterface", kNoInterface},
    {"ISupportErrorInfo::InterfaceSupportsErrorInfo", kCallFailed},
    {"Connection15::put_ConnectionTimeout", kAdoClosed},
    {"Connection15::Open", kAdoClosed},
    {"Connection15::Close", kAdoClosed},
    {"_Recordset::QueryInterface", kNoInterface},
    {"Recordset15::Open", kErrorsInCommand},
    {"Recordset15::get_EOF", kAdoClosed},
    {"Recordset15::get_RecordCount", kAdoClosed},
    {"Recordset15::get_Fields", kAdoClosed},
    {"Recordset15::Close", kAdoClosed},
    {"Fields15::QueryInterface", kNoInterface},
    {"Fields15::get_Item", kItemNotFound},
    {"Field20::QueryInterface", kNoInterface},
    {"Field20::get_Value", kAdoClosed},
    // ADSI
    {"ADsGetObject", kNoSuchObject},
    {"ADsOpenObject", kNoSuchObject},
    {"ADsBuildVarArrayStr", kNoMemory},
    {"AllocADsMem", kNoMemory},
    {"IADs::QueryInterface", kNoInterface},
    {"IADs::Get", kPropertyNotFound},
    {"IADs::GetInfoEx", kPropertyNotFound},
    {"IADsSecurityDescriptor::QueryInterface", kNoInterface},
    {"IADsSecurityDescriptor::get_DiscretionaryAcl", kCallFailed},
    {"IADsAccessControlList::QueryInterface", kNoInterface},
    {"IADsAccessControlList::get__NewEnum", kCallFailed},
    {"IEnumVARIANT::QueryInterface", kNoInterface},
    {"IEnumVARIANT::Next", kCallFailed},
    {"IADsAccessControlEntry::QueryInterface", kNoInterface},
    {"IADsAccessControlEntry::get_AccessMask", kCallFailed},
    {"IADsAccessControlEntry::get_AceType", kCallFailed},
    {"IADsAccessControlEntry::get_Flags", kCallFailed},
    {"IADsAccessControlEntry::get_ObjectType", kCallFailed},
    {"IADsAccessControlEntry::get_Trustee", kCallFailed},
    // CDO 1.21
    {"Session::Logon", static_cast<HRESULT>(0x80040111)},             // MAPI_E_LOGON_FAILED
    {"Session::GetDefaultFolder", static_cast<HRESULT>(0x8004010F)},  // MAPI_E_NOT_FOUND
    {"Session::Logoff", kCallFailed},
    {"Folder::Name", kCallFailed},
    {"Session::QueryInterface", kNoInterface},
    {"Folder::QueryInterface", kNoInterface},
    // Win32
    {"FormatMessageA", kNoSuchObject},
    {"GetDesktopWindow", kCallFailed},
    {"LookupAccountSidW", kCallFailed},
    {"GetTempPathA", kPathNotFound},
    {"GetTempFileNameA", kAccessDenied},
    {"CreateProcessA", kFileNotFound},
    {"WaitForSingleObject", kInvalidHandle},
    {"CloseHandle", kInvalidHandle},
    {"CreateFileA", kSharingViolation},
    {"ReadFile", kReadFault},
    {"DeleteFileA", kAccessDenied},
};

}  // namespace

std::span<const FaultPoint> FaultPoints() { return kFaultPoints; }

const FaultPoint* FindFaultPoint(std::string_view operation) {
  // Asked at every platform call: by hash, not by comparing every name.
  static const auto* const byName = [] {
    auto* points = new std::unordered_map<std::string_view, const FaultPoint*>();  // outlives every static
    for (const FaultPoint& point : kFaultPoints) points->emplace(point.operation, &point);
    return points;
  }();
  const auto found = byName->find(operation);
  return found == byName->end() ? nullptr : found->second;
}

}  // namespace emulation
