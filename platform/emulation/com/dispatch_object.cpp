#include "platform/emulation/com/dispatch_object.h"

#include <map>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/runtime/unicode.h"

namespace emulation {

const VARIANT& DispatchArguments::operator[](size_t index) const {
  static const VARIANT kMissing = [] {
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return missing;
  }();
  if (index >= size()) return kMissing;
  return parameters_->rgvarg[parameters_->cArgs - 1 - index];
}

std::string DispatchArguments::Describe() const {
  std::string text;
  for (size_t i = 0; i < size(); ++i) {
    const VARIANT& value = (*this)[i];
    if (i != 0) text += ", ";
    switch (value.vt) {
      case VT_BSTR: {
        std::string narrow = value.bstrVal == nullptr ? "" : Utf8FromUtf16(value.bstrVal);
        for (size_t at = 0; (at = narrow.find('\n', at)) != std::string::npos; at += 2) narrow.replace(at, 1, "\\n");
        text += "\"" + narrow + "\"";
        break;
      }
      case VT_BOOL:
        text += value.boolVal == VARIANT_FALSE ? "false" : "true";
        break;
      case VT_I4:
        text += std::to_string(value.lVal);
        break;
      case VT_I2:
        text += std::to_string(value.iVal);
        break;
      default:
        text += emulation::Describe("type %u", value.vt);
        break;
    }
  }
  return text;
}

namespace {

// The reports handed out with deferred fill-in and not filled in yet, by
// the address of the caller's report.
std::map<const EXCEPINFO*, Fault>& DeferredReports() {
  static auto* reports = new std::map<const EXCEPINFO*, Fault>();  // outlives every static
  return *reports;
}

void FillIn(EXCEPINFO* report, const Fault& fault) {
  if (fault.wCode)
    report->wCode = *fault.wCode;
  else
    report->scode = fault.status;
  if (fault.source) report->bstrSource = EmulatedString(Utf16FromUtf8(*fault.source).c_str());
  if (fault.description) report->bstrDescription = EmulatedString(Utf16FromUtf8(*fault.description).c_str());
}

HRESULT STDMETHODCALLTYPE FillInDeferredReport(EXCEPINFO* report) {
  const auto found = DeferredReports().find(report);
  if (found == DeferredReports().end()) return E_UNEXPECTED;
  const Fault fault = found->second;
  DeferredReports().erase(found);
  report->pfnDeferredFillIn = nullptr;
  FillIn(report, fault);
  return S_OK;
}

// A report whose fill-in was never called is dropped at the end of its run.
const RunReset kForgetDeferredReports([] { DeferredReports().clear(); });

}  // namespace

void ReportException(EXCEPINFO* report, HRESULT code, const std::optional<std::string>& source,
                     const std::optional<std::string>& description) {
  if (report == nullptr) return;
  *report = EXCEPINFO{};
  report->scode = code;
  if (source) report->bstrSource = EmulatedString(Utf16FromUtf8(*source).c_str());
  if (description) report->bstrDescription = EmulatedString(Utf16FromUtf8(*description).c_str());
}

void ReportPlannedException(EXCEPINFO* report, const Fault& fault) {
  if (report == nullptr) return;
  *report = EXCEPINFO{};
  if (!fault.deferredFillIn) {
    FillIn(report, fault);
    return;
  }
  // What a deferring server fills at once: the wCode, which the platform
  // requires of it, and the function that fills the rest.
  if (fault.wCode) report->wCode = *fault.wCode;
  report->pfnDeferredFillIn = FillInDeferredReport;
  DeferredReports()[report] = fault;
}

}  // namespace emulation
