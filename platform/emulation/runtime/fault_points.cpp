#include "platform/emulation/runtime/fault_points.h"

#include <algorithm>

namespace emulation {

namespace {

constexpr HRESULT kCallFailed = static_cast<HRESULT>(0x80004005);      // MAPI_E_CALL_FAILED, E_FAIL
constexpr HRESULT kNoMemory = static_cast<HRESULT>(0x8007000E);        // MAPI_E_NOT_ENOUGH_MEMORY
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002);     // E_NOINTERFACE
constexpr HRESULT kNotRegistered = static_cast<HRESULT>(0x80040154);   // REGDB_E_CLASSNOTREG
constexpr HRESULT kClassString = static_cast<HRESULT>(0x800401F3);     // CO_E_CLASSSTRING
constexpr HRESULT kNoSuchObject = static_cast<HRESULT>(0x80072030);    // no such object on the server
constexpr HRESULT kAdoClosed = static_cast<HRESULT>(0x800A0E78);       // ADO: the object is closed
constexpr HRESULT kNotInitialized = static_cast<HRESULT>(0x80040605);  // MAPI_E_NOT_INITIALIZED
constexpr HRESULT kLogonFailed = static_cast<HRESULT>(0x80040111);     // MAPI_E_LOGON_FAILED
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
    {"IExchangeManageStore::QueryInterface", kNoInterface},
    {"IAddrBook::QueryInterface", kNoInterface},
    {"IAddrBook::OpenEntry", kCallFailed},
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
    {"IErrorInfo::QueryInterface", kNoInterface},
    {"ICreateErrorInfo::QueryInterface", kNoInterface},
    // ADO
    {"_Connection::QueryInterface", kNoInterface},
    {"ISupportErrorInfo::QueryInterface", kNoInterface},
    {"ISupportErrorInfo::InterfaceSupportsErrorInfo", kCallFailed},
    {"Connection15::put_ConnectionTimeout", kAdoClosed},
    {"Connection15::Open", kAdoClosed},
    {"Connection15::Close", kAdoClosed},
    // Win32
    {"FormatMessageA", kNoSuchObject},
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
  const auto found = std::find_if(std::begin(kFaultPoints), std::end(kFaultPoints),
                                  [&](const FaultPoint& point) { return point.operation == operation; });
  return found == std::end(kFaultPoints) ? nullptr : found;
}

}  // namespace emulation
