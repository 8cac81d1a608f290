// COM and OLE Automation of the emulated platform: strings, variants, the
// thread's error object and class creation.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/object.h"
#include "platform/emulation/sdk.h"
#include "platform/emulation/runtime/world.h"

using emulation::Ledger;
using emulation::Resource;

// BSTR: a 4-byte byte count in front of the characters, and a terminator.
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
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

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(lstrlenW(psz)));
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
  if ((pvarg->vt & VT_BYREF) == 0) {
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

namespace {

// An error object as CreateErrorInfo makes it.
class ErrorObject final : public IErrorInfo, public ICreateErrorInfo, public emulation::ObjectBase {
 public:
  ErrorObject() : ObjectBase("IErrorInfo (error object)") {}
  EMULATED_REFERENCE_COUNT

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (riid == IID_IUnknown || riid == IID_IErrorInfo)
      *ppvObject = static_cast<IErrorInfo*>(this);
    else if (riid == IID_ICreateErrorInfo)
      *ppvObject = static_cast<ICreateErrorInfo*>(this);
    else
      return *ppvObject = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override { return *pGUID = guid_, S_OK; }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) override { return Copy(source_, pBstrSource); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) override {
    return Copy(description_, pBstrDescription);
  }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) override { return Copy(helpFile_, pBstrHelpFile); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) override {
    return *pdwHelpContext = helpContext_, S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override { return guid_ = rguid, S_OK; }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) override { return Keep(szSource, source_); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) override {
    return Keep(szDescription, description_);
  }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) override { return Keep(szHelpFile, helpFile_); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) override { return helpContext_ = dwHelpContext, S_OK; }

 private:
  static HRESULT Copy(const std::u16string& text, BSTR* out) {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  }
  static HRESULT Keep(LPOLESTR text, std::u16string& field) {
    field = text == nullptr ? u"" : text;
    return S_OK;
  }

  GUID guid_ = IID_NULL;
  std::u16string source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

// The calling thread's error object; the emulated platform has one thread.
IErrorInfo* threadErrorInfo = nullptr;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  *pperrinfo = new ErrorObject();
  return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
  if (perrinfo != nullptr) perrinfo->AddRef();
  if (threadErrorInfo != nullptr) threadErrorInfo->Release();
  threadErrorInfo = perrinfo;
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
  // Taking the error object clears it from the thread.
  *pperrinfo = threadErrorInfo;
  threadErrorInfo = nullptr;
  return *pperrinfo != nullptr ? S_OK : S_FALSE;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  const emulation::ClassEntry* entry = emulation::FindClassByProgId(lpszProgID);
  if (entry == nullptr) return *lpclsid = IID_NULL, CO_E_CLASSSTRING;
  *lpclsid = *entry->clsid;
  return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  *pclsid = IID_NULL;
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

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  *ppv = nullptr;
  const std::string arguments = emulation::NameOf(&rclsid) + ", " + (pUnkOuter ? "outer" : "null") +
                                emulation::Describe(", 0x%X, ", dwClsContext) + emulation::NameOf(&riid);
  return emulation::UnderFault("CoCreateInstance", arguments, [&]() -> HRESULT {
    if (!emulation::TheWorld().comInitialized) return CO_E_NOTINITIALIZED;
    const emulation::ClassEntry* entry = emulation::FindClass(rclsid);
    if (entry == nullptr) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return entry->create(riid, ppv);
  });
}

HRESULT OleRun(LPUNKNOWN) {
  // The emulated classes are in-process: running them is a no-op.
  return emulation::UnderFault("OleRun", [&]() -> HRESULT { return S_OK; });
}
