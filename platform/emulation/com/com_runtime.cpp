// COM and OLE Automation of the emulated platform: strings, variants, the
// thread's error object and class creation.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

using emulation::Ledger;
using emulation::Resource;

namespace {

// BSTR: a 4-byte byte count in front of the characters, and a terminator.
BSTR AllocateString(const OLECHAR* strIn, UINT ui) {
  auto* block = static_cast<BYTE*>(malloc(sizeof(uint32_t) + (ui + 1) * sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const uint32_t bytes = ui * sizeof(OLECHAR);
  memcpy(block, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<BSTR>(block + sizeof(uint32_t));
  if (strIn != nullptr)
    memcpy(text, strIn, ui * sizeof(OLECHAR));
  else
    memset(text, 0, ui * sizeof(OLECHAR));
  text[ui] = 0;
  Ledger::Instance().Acquire(Resource::String, text, "of " + std::to_string(ui) + " characters");
  return text;
}

// A string allocation under its planned fault: a failure status makes it
// return null, as an exhausted heap does.
BSTR AllocateStringUnderFault(const char* operation, const OLECHAR* strIn, UINT ui) {
  BSTR text = nullptr;
  emulation::UnderFault(operation, emulation::Describe("%u characters", ui), [&]() -> HRESULT {
    text = AllocateString(strIn, ui);
    return text != nullptr ? S_OK : E_OUTOFMEMORY;
  });
  return text;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return AllocateStringUnderFault("SysAllocStringLen", strIn, ui);
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return AllocateStringUnderFault("SysAllocString", psz, static_cast<UINT>(lstrlenW(psz)));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString == nullptr) return;
  if (!Ledger::Instance().Release(Resource::String, bstrString, "SysFreeString")) return;
  free(reinterpret_cast<BYTE*>(bstrString) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR pbstr) {
  if (pbstr == nullptr) return 0;
  uint32_t bytes = 0;
  memcpy(&bytes, reinterpret_cast<BYTE*>(pbstr) - sizeof(uint32_t), sizeof bytes);
  return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if ((pvarg->vt & VT_BYREF) == 0 && (pvarg->vt & VT_ARRAY) != 0) {
    if (pvarg->parray != nullptr) {
      const HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;  // a locked array stays in the variant
    }
  } else if ((pvarg->vt & VT_BYREF) == 0) {
    switch (pvarg->vt) {
      case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
      case VT_DISPATCH:
      case VT_UNKNOWN:
        if (pvarg->punkVal != nullptr) pvarg->punkVal->Release();
        break;
      default:
        break;
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

// The conversions the tool may ask for: between dispatch and unknown
// values, and between numbers and text.
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  const std::string arguments = emulation::Describe("%u to %u, 0x%X", pvarSrc->vt, vt, wFlags);
  return emulation::UnderFault("VariantChangeType", arguments, [&]() -> HRESULT {
    VARIANT result;
    VariantInit(&result);
    if (pvarSrc->vt == vt) {
      if (const HRESULT hr = VariantCopy(&result, pvarSrc); FAILED(hr)) return hr;
    } else if ((pvarSrc->vt == VT_DISPATCH || pvarSrc->vt == VT_UNKNOWN) && (vt == VT_DISPATCH || vt == VT_UNKNOWN)) {
      if (pvarSrc->punkVal == nullptr) return DISP_E_TYPEMISMATCH;
      const IID& wanted = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
      if (const HRESULT hr = pvarSrc->punkVal->QueryInterface(wanted, reinterpret_cast<void**>(&result.punkVal));
          FAILED(hr))
        return DISP_E_TYPEMISMATCH;
      result.vt = vt;
    } else if (pvarSrc->vt == VT_I4 && vt == VT_BSTR) {
      const emulation::WideString text = emulation::Utf16FromUtf8(std::to_string(pvarSrc->lVal));
      result.bstrVal = AllocateString(text.data(), static_cast<UINT>(text.size()));
      if (result.bstrVal == nullptr) return E_OUTOFMEMORY;
      result.vt = VT_BSTR;
    } else {
      return DISP_E_TYPEMISMATCH;
    }
    VariantClear(pvargDest);
    *pvargDest = result;
    return S_OK;
  });
}

namespace {

// An error object as CreateErrorInfo makes it. A text never set answers
// as a null string, as the platform's does.
class ErrorObject final : public emulation::ObjectBase,
                          public emulation::Face<IErrorInfo>,
                          public emulation::Face<ICreateErrorInfo> {
 public:
  ErrorObject()
      : ObjectBase("error object"), Face<IErrorInfo>("IErrorInfo"), Face<ICreateErrorInfo>("ICreateErrorInfo") {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) return static_cast<IErrorInfo*>(this);
    if (riid == IID_ICreateErrorInfo) return static_cast<ICreateErrorInfo*>(this);
    return nullptr;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override {
    return Unserved("IErrorInfo::GetGUID", (*pGUID = guid_, S_OK));
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) override { return Copy("GetSource", source_, pBstrSource); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) override {
    return Copy("GetDescription", description_, pBstrDescription);
  }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) override {
    return Copy("GetHelpFile", helpFile_, pBstrHelpFile);
  }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) override {
    return Unserved("IErrorInfo::GetHelpContext", (*pdwHelpContext = helpContext_, S_OK));
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
    return Unserved("ICreateErrorInfo::SetGUID", (guid_ = rguid, S_OK));
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) override { return Keep(szSource, source_); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) override {
    return Keep(szDescription, description_);
  }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) override { return Keep(szHelpFile, helpFile_); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) override {
    return Unserved("ICreateErrorInfo::SetHelpContext", (helpContext_ = dwHelpContext, S_OK));
  }

 private:
  // The copy is the platform's own, not a call the tool can see fail.
  HRESULT Copy(const char* method, const std::optional<emulation::WideString>& text, BSTR* out) {
    *out = nullptr;
    const HRESULT usable = Unserved(std::string("IErrorInfo::") + method, S_OK);
    if (FAILED(usable) || !text) return usable;
    *out = AllocateString(text->data(), static_cast<UINT>(text->size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Keep(LPOLESTR text, std::optional<emulation::WideString>& field) {
    if (text == nullptr)
      field.reset();
    else
      field = emulation::WideString(text);
    return S_OK;
  }

  GUID guid_ = IID_NULL;
  std::optional<emulation::WideString> source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

}  // namespace

namespace emulation {

BSTR EmulatedString(const OLECHAR* text, UINT length) { return AllocateString(text, length); }

IErrorInfo* NewErrorInfo(const std::optional<std::string>& source, const std::optional<std::string>& description) {
  auto* object = new ErrorObject();
  if (source) object->SetSource(Utf16FromUtf8(*source).data());
  if (description) object->SetDescription(Utf16FromUtf8(*description).data());
  IErrorInfo* info = nullptr;
  object->HandOver(&IID_IErrorInfo, IID_IErrorInfo, reinterpret_cast<void**>(&info));
  return info;
}

}  // namespace emulation

namespace emulation {

namespace {

// The calling thread's error object; the emulated platform has one thread.
// A run's end drops it unreleased, with the rest of the run's objects.
IErrorInfo*& ThreadErrorInfo() {
  static IErrorInfo* held = nullptr;
  return held;
}

const RunReset kForgetThreadErrorInfo([] { ThreadErrorInfo() = nullptr; });

}  // namespace

}  // namespace emulation

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  return (new ErrorObject())
      ->HandOver(&IID_ICreateErrorInfo, IID_ICreateErrorInfo, reinterpret_cast<void**>(pperrinfo));
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
  IErrorInfo*& held = emulation::ThreadErrorInfo();
  if (perrinfo != nullptr) perrinfo->AddRef();
  if (held != nullptr) held->Release();
  held = perrinfo;
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  *pperrinfo = nullptr;
  return emulation::UnderFault("GetErrorInfo", emulation::Describe("%u", dwReserved), [&]() -> HRESULT {
    // Taking the error object clears it from the thread.
    IErrorInfo*& held = emulation::ThreadErrorInfo();
    *pperrinfo = held;
    held = nullptr;
    return *pperrinfo != nullptr ? S_OK : S_FALSE;
  });
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  return emulation::ClassIdFromProgId(lpszProgID, lpclsid);
}

namespace {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
HRESULT ParseClsid(LPCOLESTR lpsz, CLSID* pclsid) {
  if (lpsz == nullptr || lstrlenW(lpsz) != 38 || lpsz[0] != u'{' || lpsz[37] != u'}') return CO_E_CLASSSTRING;
  std::string hex;
  for (int i = 1; i < 37; ++i) {
    const char16_t c = lpsz[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != u'-') return CO_E_CLASSSTRING;
      continue;
    }
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) return CO_E_CLASSSTRING;
    hex += static_cast<char>(c);
  }
  const auto field = [&](size_t at, size_t digits) { return std::stoull(hex.substr(at, digits), nullptr, 16); };
  pclsid->Data1 = static_cast<DWORD>(field(0, 8));
  pclsid->Data2 = static_cast<WORD>(field(8, 4));
  pclsid->Data3 = static_cast<WORD>(field(12, 4));
  for (size_t i = 0; i < 8; ++i) pclsid->Data4[i] = static_cast<BYTE>(field(16 + 2 * i, 2));
  return S_OK;
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
  *pclsid = IID_NULL;
  return emulation::UnderFault("CLSIDFromString", emulation::Quoted(lpsz), [&] { return ParseClsid(lpsz, pclsid); });
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  *ppv = nullptr;
  const std::string arguments = emulation::CreationArguments(rclsid, pUnkOuter, dwClsContext, riid);
  return emulation::UnderFault("CoCreateInstance", arguments, [&]() -> HRESULT {
    if (!emulation::TheWorld().comInitialized) return CO_E_NOTINITIALIZED;
    const emulation::ClassEntry* entry = emulation::FindClass(rclsid);
    if (entry == nullptr) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return entry->create(riid, ppv);
  });
}

HRESULT OleRun(LPUNKNOWN pUnknown) {
  return emulation::UnderFault("OleRun", [&]() -> HRESULT {
    // As the platform's: an object that cannot be run counts as running.
    IRunnableObject* runnable = nullptr;
    if (FAILED(pUnknown->QueryInterface(IID_IRunnableObject, reinterpret_cast<void**>(&runnable)))) return S_OK;
    const HRESULT hr = runnable->Run(nullptr);
    runnable->Release();
    return hr;
  });
}
