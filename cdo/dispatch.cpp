#include "cdo/dispatch.h"

#include "platform/com_support.h"

namespace {

constexpr size_t kMostArguments = 8;

// An error object holding an exception report's texts, or null when none
// can be made.
IErrorInfo* ErrorInfoFromReport(const EXCEPINFO& report) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return nullptr;
  if (report.bstrSource != nullptr) create->SetSource(report.bstrSource);
  if (report.bstrDescription != nullptr) create->SetDescription(report.bstrDescription);
  if (report.bstrHelpFile != nullptr) create->SetHelpFile(report.bstrHelpFile);
  create->SetHelpContext(report.dwHelpContext);
  IErrorInfo* info = nullptr;
  if (FAILED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) info = nullptr;
  create->Release();
  return info;
}

}  // namespace

BSTR AllocateBstrOrRaise(const OLECHAR* text) {
  BSTR copy = SysAllocString(text);
  if (copy == nullptr) throw _com_error(E_OUTOFMEMORY);
  return copy;
}

void InvokeMember(IDispatch* object, DISPID member, WORD kind, std::span<VARIANT> arguments, VARIANT* result) {
  if (object == nullptr) throw _com_error(E_POINTER);
  if (arguments.size() > kMostArguments) throw _com_error(E_INVALIDARG);
  // Invoke takes the arguments last first.
  VARIANT reversed[kMostArguments];
  for (size_t i = 0; i < arguments.size(); ++i) reversed[i] = arguments[arguments.size() - 1 - i];
  DISPPARAMS parameters = {reversed, nullptr, static_cast<UINT>(arguments.size()), 0};
  EXCEPINFO report = {};
  UINT badArgument = 0;
  const HRESULT hr = object->Invoke(member, IID_NULL, 0, kind, &parameters, result, &report, &badArgument);
  if (SUCCEEDED(hr)) return;
  if (hr != DISP_E_EXCEPTION) RaiseOnFailure(hr, object, IID_IDispatch);

  if (report.pfnDeferredFillIn != nullptr) report.pfnDeferredFillIn(&report);
  const HRESULT status = report.wCode != 0 ? _com_error::WCodeToHRESULT(report.wCode) : report.scode;
  IErrorInfo* info = ErrorInfoFromReport(report);
  SysFreeString(report.bstrSource);
  SysFreeString(report.bstrDescription);
  SysFreeString(report.bstrHelpFile);
  throw _com_error(status, info);  // takes over the reference
}
