#include "cdo/cdo_probe.h"

#include <cstring>
#include <string>

#include "cdo/dispatch.h"
#include "cdo/server_name.h"
#include "platform/com_support.h"
#include "platform/console.h"
#include "platform/text.h"

namespace {

// The CDO session object, created as the COM support does for a ProgID:
// the class ID from the ProgID (or from the text itself when it is a
// "{...}" string), then created for IUnknown, run, and asked for the
// Session dispinterface.
HRESULT CreateCdoSession(IDispatch** session) {
  *session = nullptr;
  const std::basic_string<WCHAR> progId = WideFromNarrow("MAPI.Session", CP_ACP);
  CLSID clsid = {};
  const HRESULT hr =
      progId[0] == u'{' ? CLSIDFromString(progId.c_str(), &clsid) : CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(hr)) return hr;
  return CreateRunningInstance(clsid, IID_CdoSession, reinterpret_cast<void**>(session));
}

void SetBoolean(VARIANT& value, VARIANT_BOOL flag) {
  value.vt = VT_BOOL;
  value.boolVal = flag;
}

// Session.Logon with a dynamic profile: no profile name or password, the
// dialog and a new session asked for, no parent window, no mail, and the
// ProfileInfo text. The six arguments of its own are cleared when it
// returns or raises; ProfileInfo stays with the caller.
void Logon(IDispatch* session, VARIANT& profileInfo) {
  ScopedVariant profileName, profilePassword, showDialog, newSession, parentWindow, noMail, result;
  // The type is set once the string exists: a failed allocation leaves an
  // empty value for the clean-up, not a string pointer that was never set.
  (*profileName).bstrVal = AllocateBstrOrRaise(OLESTR(""));
  (*profileName).vt = VT_BSTR;
  (*profilePassword).bstrVal = AllocateBstrOrRaise(OLESTR(""));
  (*profilePassword).vt = VT_BSTR;
  SetBoolean(*showDialog, VARIANT_TRUE);
  SetBoolean(*newSession, VARIANT_TRUE);
  SetBoolean(*parentWindow, VARIANT_FALSE);
  SetBoolean(*noMail, VARIANT_TRUE);
  VARIANT arguments[] = {*profileName, *profilePassword, *showDialog, *newSession, *parentWindow, *noMail, profileInfo};
  InvokeMember(session, kDispidSessionLogon, DISPATCH_METHOD, arguments, result.get());
}

// Turns GetDefaultFolder's result into the Folder dispinterface: a
// dispatch or unknown value is asked for it; any other value is first
// changed to a dispatch value, then, if that does not answer, to an
// unknown one. A value that has no Folder interface leaves the folder
// absent; any other failure raises.
IDispatch* FolderOf(VARIANT& value) {
  IDispatch* folder = nullptr;
  const auto query = [&](VARIANT& from) {
    return from.punkVal == nullptr ? E_POINTER
                                   : from.punkVal->QueryInterface(IID_CdoFolder, reinterpret_cast<void**>(&folder));
  };
  HRESULT hr = E_NOINTERFACE;
  if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) {
    hr = query(value);
  } else {
    ScopedVariant changed;
    hr = VariantChangeType(changed.get(), &value, 0, VT_DISPATCH);
    if (SUCCEEDED(hr)) hr = query(*changed);
    if (hr == E_NOINTERFACE) {
      ScopedVariant unknown;
      hr = VariantChangeType(unknown.get(), &value, 0, VT_UNKNOWN);
      if (SUCCEEDED(hr)) hr = query(*unknown);
    }
  }
  if (hr == E_NOINTERFACE) return nullptr;
  if (FAILED(hr)) throw _com_error(hr);
  return folder;
}

IDispatch* GetDefaultCalendar(IDispatch* session) {
  ScopedVariant type, result;
  (*type).vt = VT_I4;
  (*type).lVal = kCdoDefaultFolderCalendar;
  InvokeMember(session, kDispidSessionGetDefaultFolder, DISPATCH_METHOD, std::span<VARIANT>(type.get(), 1),
               result.get());
  return FolderOf(*result);
}

void Logoff(IDispatch* session) {
  ScopedVariant result;
  InvokeMember(session, kDispidSessionLogoff, DISPATCH_METHOD, {}, result.get());
}

void PrintCdoException(const char* displayName, const _com_error& error) {
  ConsolePrintf("%s: CDO COM exception: Code = %08lx, WCode = %04x, Code meaning = %s\n", displayName, error.Error(),
                error.WCode(), error.ErrorMessage());
  const auto description = ErrorObjectText(error, &IErrorInfo::GetDescription);
  ConsolePrintf("    Description = %s.\n", description ? description->c_str() : nullptr);
}

}  // namespace

bool TestCdoLogon(const char* mailboxDn, const char* homeMdbDn, const char* displayName) {
  char server[kCdoTextBufferSize];
  switch (ExtractServerName(homeMdbDn, server)) {
    case ServerNameResult::kNoMarker:
      ConsolePrintf("%s: Unable to extract Exchange server name(1): %s\n", displayName, homeMdbDn);
      return false;
    case ServerNameResult::kNoSlashAfterServer:
      ConsolePrintf("%s: Unable to extract Exchange server name(2): %s\n", displayName, homeMdbDn);
      return false;
    case ServerNameResult::kFound:
      break;
  }
  char mailbox[kCdoTextBufferSize] = {};
  strncpy(mailbox, mailboxDn, sizeof mailbox - 1);
  ConsolePrintf("%s: CDO Server Name: %s\n", displayName, server);
  ConsolePrintf("%s: CDO Mailbox DN: %s\n", displayName, mailbox);

  bool folderNameRead = false;
  VARIANT profileInfo;
  VariantInit(&profileInfo);
  IDispatch* session = nullptr;
  IDispatch* folder = nullptr;
  VARIANT name;
  VariantInit(&name);
  try {
    // ProfileInfo: the server, a line feed, the mailbox DN.
    const std::string profile = std::string(server) + "\n" + mailbox;
    profileInfo.bstrVal = AllocateBstrOrRaise(WideFromNarrow(profile.c_str(), CP_ACP).c_str());
    profileInfo.vt = VT_BSTR;

    const HRESULT created = CreateCdoSession(&session);
    if (FAILED(created)) {
      ConsolePrintf("%s: CreateInstance failed (0x%08lx)\n", displayName, created);
    } else {
      Logon(session, profileInfo);
      ConsolePrintf("%s: CDO logon successful\n", displayName);

      folder = GetDefaultCalendar(session);
      ConsolePrintf("%s: Get default calendar folder successful\n", displayName);

      // An absent folder fails here, as its use does.
      if (folder == nullptr) throw _com_error(E_POINTER);
      InvokeMember(folder, kDispidFolderName, DISPATCH_PROPERTYGET, {}, &name);
      if (name.vt != VT_BSTR) {
        VARIANT text;
        VariantInit(&text);
        const HRESULT hr = VariantChangeType(&text, &name, 0, VT_BSTR);
        VariantClear(&name);
        if (FAILED(hr)) throw _com_error(hr);
        name = text;
      }
      const std::string folderName = NarrowFromWide(name.bstrVal, CP_ACP);
      ConsolePrintf("%s: Get calendar folder name successful: '%s'\n", displayName,
                    name.bstrVal != nullptr ? folderName.c_str() : nullptr);
      folderNameRead = true;

      Logoff(session);
    }
  } catch (const _com_error& error) {
    PrintCdoException(displayName, error);
  }
  VariantClear(&name);
  if (folder != nullptr) folder->Release();
  VariantClear(&profileInfo);
  if (session != nullptr) session->Release();
  return folderNameRead;
}
