// CDO 1.21's Session and Folder objects, reached only through
// IDispatch::Invoke. A logon with a dynamic profile (ProfileInfo: a server
// name, a line feed, a mailbox DN) is checked as the library and the
// server check it: the server must be the mailbox's home server, the
// mailbox must exist, and the account logged on through MAPI must have
// access to it. A refusal is an exception report, with CDO's description.
#include <cstring>

#include "platform/emulation/cdo/cdo.h"
#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/dispatch_object.h"
#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/mapi/mapi_objects.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/sdk.h"

namespace emulation {

namespace {

constexpr DISPID kLogon = 0x77;
constexpr DISPID kLogoff = 0x76;
constexpr DISPID kGetDefaultFolder = 0x99;
constexpr DISPID kName = 0x17;
constexpr LONG kCalendar = 0;  // CdoDefaultFolderCalendar

// CDO describes a failure of MAPI underneath it by the MAPI error's name.
HRESULT Refuse(EXCEPINFO* report, HRESULT code, const char* name) {
  ReportException(report, code, "Collaboration Data Objects",
                  Describe("[Collaboration Data Objects - [%s(%08X)]]", name, static_cast<unsigned>(code)));
  return DISP_E_EXCEPTION;
}

class CdoFolder final : public ObjectBase, public DispatchFace<IDispatch> {
 public:
  CdoFolder(std::string name, std::string owner)
      : ObjectBase("CDO folder \"" + name + "\" of " + owner),
        DispatchFace<IDispatch>("Folder", {{kName, DISPATCH_PROPERTYGET, "Folder::Name"}}),
        name_(std::move(name)) {}

  IUnknown* FaceFor(REFIID riid) override {
    return riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_CdoFolder ? static_cast<IDispatch*>(this)
                                                                                  : nullptr;
  }

 protected:
  HRESULT InvokeMember(DISPID, const DispatchArguments&, VARIANT* result, EXCEPINFO*) override {
    if (result == nullptr) return E_INVALIDARG;
    result->bstrVal = EmulatedString(Utf16FromUtf8(name_).c_str());
    if (result->bstrVal == nullptr) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    return S_OK;
  }

 private:
  std::string name_;
};

class CdoSession final : public ObjectBase, public DispatchFace<IDispatch> {
 public:
  CdoSession()
      : ObjectBase("CDO session"),
        DispatchFace<IDispatch>("Session", {{kLogon, DISPATCH_METHOD, "Session::Logon"},
                                            {kLogoff, DISPATCH_METHOD, "Session::Logoff"},
                                            {kGetDefaultFolder, DISPATCH_METHOD, "Session::GetDefaultFolder"}}) {}

  IUnknown* FaceFor(REFIID riid) override {
    return riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_CdoSession ? static_cast<IDispatch*>(this)
                                                                                   : nullptr;
  }

 protected:
  HRESULT InvokeMember(DISPID member, const DispatchArguments& arguments, VARIANT* result, EXCEPINFO* report) override {
    switch (member) {
      case kLogon:
        return Logon(arguments, report);
      case kLogoff:
        if (mailbox_ == nullptr) return Refuse(report, MAPI_E_NOT_INITIALIZED, "MAPI_E_NOT_INITIALIZED");
        mailbox_ = nullptr;
        return S_OK;
      case kGetDefaultFolder:
        return GetDefaultFolder(arguments, result, report);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  // ProfileName, ProfilePassword, ShowDialog, NewSession, ParentWindow,
  // NoMail, ProfileInfo: only a dynamic profile is served.
  HRESULT Logon(const DispatchArguments& arguments, EXCEPINFO* report) {
    const VARIANT& profileInfo = arguments[6];
    if (profileInfo.vt != VT_BSTR || profileInfo.bstrVal == nullptr)
      return Refuse(report, MAPI_E_LOGON_FAILED, "MAPI_E_LOGON_FAILED");
    const std::string profile = Utf8FromUtf16(profileInfo.bstrVal);
    const size_t lineFeed = profile.find('\n');
    if (lineFeed == std::string::npos) return Refuse(report, MAPI_E_LOGON_FAILED, "MAPI_E_LOGON_FAILED");
    const std::string server = profile.substr(0, lineFeed);
    const std::string mailboxDn = profile.substr(lineFeed + 1);

    const World& world = TheWorld();
    const Organisation& organisation = *world.organisation;
    const ServerDefinition* named = organisation.FindServer(server);
    if (named == nullptr) return Refuse(report, MAPI_E_NETWORK_ERROR, "MAPI_E_NETWORK_ERROR");
    const AddressEntry* owner = organisation.FindEntryByMailboxDn(mailboxDn);
    const DatabaseDefinition* database = nullptr;
    const ServerDefinition* home = owner != nullptr ? organisation.FindServerOf(*owner->homeMdb, &database) : nullptr;
    // CDO's logon takes the rights of the account that runs it, which is
    // the account logged on through MAPI.
    if (home != named || !MayOpenMailbox(world.operatorKey, *owner, *database, true))
      return Refuse(report, MAPI_E_LOGON_FAILED, "MAPI_E_LOGON_FAILED");
    mailbox_ = owner;
    return S_OK;
  }

  HRESULT GetDefaultFolder(const DispatchArguments& arguments, VARIANT* result, EXCEPINFO* report) {
    if (mailbox_ == nullptr) return Refuse(report, MAPI_E_NOT_INITIALIZED, "MAPI_E_NOT_INITIALIZED");
    const VARIANT& type = arguments[0];
    const LONG folderType = type.vt == VT_I4 ? type.lVal : type.vt == VT_I2 ? type.iVal : -1;
    if (folderType != kCalendar) return Refuse(report, MAPI_E_INVALID_PARAMETER, "MAPI_E_INVALID_PARAMETER");
    if (result == nullptr) return E_INVALIDARG;
    IDispatch* folder = nullptr;
    const HRESULT hr = (new CdoFolder(mailbox_->mailbox.calendarName, mailbox_->key))
                           ->HandOver(&IID_IDispatch, IID_IDispatch, reinterpret_cast<void**>(&folder));
    if (FAILED(hr)) return hr;
    result->vt = VT_DISPATCH;
    result->pdispVal = folder;
    return S_OK;
  }

  const AddressEntry* mailbox_ = nullptr;  // logged on to, until the logoff
};

}  // namespace

HRESULT CreateCdoSession(REFIID riid, void** object) { return (new CdoSession())->HandOver(&riid, riid, object); }

}  // namespace emulation
