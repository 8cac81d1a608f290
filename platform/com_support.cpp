#include "platform/com_support.h"

#include <new>

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
