// What the emulation's objects hand out of OLE Automation, made by Wine's
// oleaut32 on Windows: the tool frees them there.
#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/sdk.h"

namespace emulation {

BSTR EmulatedString(const OLECHAR* text, UINT length) { return SysAllocStringLen(text, length); }

IErrorInfo* NewErrorInfo(const std::optional<std::string>& source, const std::optional<std::string>& description) {
  ICreateErrorInfo* creator = nullptr;
  if (FAILED(CreateErrorInfo(&creator))) return nullptr;
  if (source) creator->SetSource(Utf16FromUtf8(*source).data());
  if (description) creator->SetDescription(Utf16FromUtf8(*description).data());
  IErrorInfo* info = nullptr;
  creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  creator->Release();
  return info;
}

}  // namespace emulation
