// COM object creation as the platform's COM support classes do it for a
// class context that includes a local server: create for IUnknown, run the
// object, then ask it for the wanted interface.
#pragma once

#include <optional>
#include <string>

#include "platform/sdk.h"

// CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER
constexpr DWORD kServerContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// On success *object holds one reference to iid. On failure *object is left
// null and the status of the first step that failed is returned.
HRESULT CreateRunningInstance(REFCLSID clsid, REFIID iid, void** object);

// One BSTR, owned for the length of a scope and freed with SysFreeString.
class OwnedBstr {
 public:
  OwnedBstr() = default;
  explicit OwnedBstr(BSTR text) : text_(text) {}
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  ~OwnedBstr() { SysFreeString(text_); }

  BSTR get() const { return text_; }
  void Reset(BSTR text) {
    SysFreeString(text_);
    text_ = text;
  }

 private:
  BSTR text_ = nullptr;
};

// A new BSTR holding text; throws std::bad_alloc when the platform cannot
// allocate it.
BSTR AllocateBstr(const OLECHAR* text);

// Raises a _com_error for a failed status of a method declared by
// declaringInterface, called on object, as the platform's COM support does:
// with the thread's error object attached when the object supports error
// information for that interface.
void RaiseOnFailure(HRESULT status, IUnknown* object, REFIID declaringInterface);

// One text of a COM error's error object (IErrorInfo::GetSource or
// GetDescription), converted with the system ANSI code page; none when the
// error carries no object or the object gives no text.
std::optional<std::string> ErrorObjectText(const _com_error& error,
                                           HRESULT (STDMETHODCALLTYPE IErrorInfo::*getter)(BSTR*));
