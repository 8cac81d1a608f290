#include "platform/com_support.h"

#include <new>

#include "platform/text.h"

HRESULT CreateRunningInstance(REFCLSID clsid, REFIID iid, void** object) {
  *object = nullptr;
  IUnknown* unknown = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, kServerContext, IID_IUnknown, reinterpret_cast<void**>(&unknown));
  if (FAILED(hr)) return hr;
  hr = OleRun(unknown);
  if (SUCCEEDED(hr)) hr = unknown->QueryInterface(iid, object);
  unknown->Release();
  if (FAILED(hr)) *object = nullptr;
  return hr;
}

BSTR AllocateBstr(const OLECHAR* text) {
  BSTR copy = SysAllocString(text);
  if (copy == nullptr) throw std::bad_alloc();
  return copy;
}

void RaiseOnFailure(HRESULT status, IUnknown* object, REFIID declaringInterface) {
  if (SUCCEEDED(status)) return;
  IErrorInfo* errorInfo = nullptr;
  ISupportErrorInfo* support = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
    const HRESULT supported = support->InterfaceSupportsErrorInfo(declaringInterface);
    support->Release();
    if (supported == S_OK && GetErrorInfo(0, &errorInfo) != S_OK) errorInfo = nullptr;
  }
  throw _com_error(status, errorInfo);  // takes over the reference
}

std::optional<std::string> ErrorObjectText(const _com_error& error,
                                           HRESULT (STDMETHODCALLTYPE IErrorInfo::*getter)(BSTR*)) {
  IErrorInfo* info = error.ErrorInfo();  // a new reference
  if (info == nullptr) return std::nullopt;
  BSTR text = nullptr;
  std::optional<std::string> result;
  if (SUCCEEDED((info->*getter)(&text)) && text != nullptr) result = NarrowFromWide(text, CP_ACP);
  SysFreeString(text);
  info->Release();
  return result;
}
