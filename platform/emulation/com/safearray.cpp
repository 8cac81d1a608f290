// SAFEARRAY and the variant helpers of OLE Automation that work on arrays
// and strings: creation, element access, locking, destruction; VariantCopy,
// VarBstrCat, VarBstrCmp.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

using emulation::Ledger;
using emulation::Resource;

namespace {

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_ERROR:
      return 4;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_DISPATCH:
      return FADF_DISPATCH | FADF_HAVEVARTYPE;
    case VT_UNKNOWN:
      return FADF_UNKNOWN | FADF_HAVEVARTYPE;
    case VT_VARIANT:
      return FADF_VARIANT | FADF_HAVEVARTYPE;
    default:
      return FADF_HAVEVARTYPE;
  }
}

ULONG ElementCount(const SAFEARRAY* psa) {
  ULONG count = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) count *= psa->rgsabound[d].cElements;
  return count;
}

// The element's offset for indices given first dimension first, or -1.
long long OffsetOf(const SAFEARRAY* psa, const LONG* indices) {
  // rgsabound holds the dimensions last one first, as the platform keeps them.
  long long offset = 0, stride = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - d];
    const long long at = static_cast<long long>(indices[d]) - bound.lLbound;
    if (at < 0 || at >= static_cast<long long>(bound.cElements)) return -1;
    offset += at * stride;
    stride *= bound.cElements;
  }
  return offset;
}

void ClearElements(SAFEARRAY* psa) {
  const ULONG count = ElementCount(psa);
  for (ULONG i = 0; i < count; ++i) {
    void* element = static_cast<BYTE*>(psa->pvData) + static_cast<size_t>(i) * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
      SysFreeString(*static_cast<BSTR*>(element));
    } else if (psa->fFeatures & (FADF_DISPATCH | FADF_UNKNOWN)) {
      if (auto* object = *static_cast<IUnknown**>(element)) object->Release();
    } else if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(static_cast<VARIANT*>(element));
    }
  }
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  const ULONG size = ElementSize(vt);
  if (size == 0 || cDims == 0 || rgsabound == nullptr) return nullptr;
  auto* psa = static_cast<SAFEARRAY*>(calloc(1, sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND)));
  psa->cDims = static_cast<USHORT>(cDims);
  psa->fFeatures = FeaturesOf(vt);
  psa->cbElements = size;
  // Given first dimension first, kept last one first.
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
  psa->pvData = calloc(ElementCount(psa) == 0 ? 1 : ElementCount(psa), size);
  Ledger::Instance().Acquire(Resource::SafeArray, psa, "of " + std::to_string(ElementCount(psa)) + " elements");
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound = {cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  if (!Ledger::Instance().Release(Resource::SafeArray, psa, "SafeArrayDestroy")) return E_INVALIDARG;
  ClearElements(psa);
  free(psa->pvData);
  free(psa);
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
  *plUbound = bound.lLbound + static_cast<LONG>(bound.cElements) - 1;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  return emulation::UnderFault("SafeArrayAccessData", [&]() -> HRESULT {
    if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
    ++psa->cLocks;
    *ppvData = psa->pvData;
    return S_OK;
  });
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  const std::string arguments = rgIndices == nullptr ? "null" : emulation::Describe("[%d]", rgIndices[0]);
  return emulation::UnderFault("SafeArrayGetElement", arguments, [&]() -> HRESULT {
    if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
    const long long offset = OffsetOf(psa, rgIndices);
    if (offset < 0) return DISP_E_BADINDEX;
    const void* element = static_cast<const BYTE*>(psa->pvData) + offset * psa->cbElements;
    // The caller receives a copy that it owns.
    if (psa->fFeatures & FADF_VARIANT) {
      VariantInit(static_cast<VARIANT*>(pv));
      return VariantCopy(static_cast<VARIANT*>(pv), static_cast<const VARIANT*>(element));
    }
    if (psa->fFeatures & FADF_BSTR) {
      const BSTR text = *static_cast<const BSTR*>(element);
      *static_cast<BSTR*>(pv) = text == nullptr ? nullptr : emulation::EmulatedString(text, SysStringLen(text));
      return S_OK;
    }
    if (psa->fFeatures & (FADF_DISPATCH | FADF_UNKNOWN)) {
      IUnknown* object = *static_cast<IUnknown* const*>(element);
      if (object != nullptr) object->AddRef();
      *static_cast<IUnknown**>(pv) = object;
      return S_OK;
    }
    memcpy(pv, element, psa->cbElements);
    return S_OK;
  });
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr) return E_INVALIDARG;
  const long long offset = OffsetOf(psa, rgIndices);
  if (offset < 0) return DISP_E_BADINDEX;
  void* element = static_cast<BYTE*>(psa->pvData) + offset * psa->cbElements;
  // The array keeps a copy; pv stays the caller's.
  if (psa->fFeatures & FADF_VARIANT) {
    VariantClear(static_cast<VARIANT*>(element));
    return VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(pv));
  }
  if (psa->fFeatures & FADF_BSTR) {
    SysFreeString(*static_cast<BSTR*>(element));
    const auto text = static_cast<BSTR>(pv);
    *static_cast<BSTR*>(element) = text == nullptr ? nullptr : emulation::EmulatedString(text, SysStringLen(text));
    return S_OK;
  }
  if (psa->fFeatures & (FADF_DISPATCH | FADF_UNKNOWN)) {
    auto* object = static_cast<IUnknown*>(pv);
    if (object != nullptr) object->AddRef();
    if (auto* old = *static_cast<IUnknown**>(element)) old->Release();
    *static_cast<IUnknown**>(element) = object;
    return S_OK;
  }
  memcpy(element, pv, psa->cbElements);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == pvargSrc) return S_OK;
  VariantClear(pvargDest);
  VARIANT copy = *pvargSrc;
  if ((copy.vt & VT_BYREF) == 0) {
    if ((copy.vt & VT_ARRAY) != 0 && copy.parray != nullptr) {
      SAFEARRAY* source = copy.parray;
      SAFEARRAYBOUND bounds[8];
      const UINT dims = source->cDims > 8 ? 8 : source->cDims;
      for (UINT d = 0; d < dims; ++d) bounds[d] = source->rgsabound[source->cDims - 1 - d];
      copy.parray = SafeArrayCreate(static_cast<VARTYPE>(copy.vt & ~VT_ARRAY), dims, bounds);
      if (copy.parray == nullptr) return E_OUTOFMEMORY;
      const ULONG count = ElementCount(source);
      for (ULONG i = 0; i < count; ++i) {
        const void* from = static_cast<const BYTE*>(source->pvData) + static_cast<size_t>(i) * source->cbElements;
        void* to = static_cast<BYTE*>(copy.parray->pvData) + static_cast<size_t>(i) * source->cbElements;
        if (source->fFeatures & FADF_VARIANT) {
          VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
        } else if (source->fFeatures & FADF_BSTR) {
          const BSTR text = *static_cast<const BSTR*>(from);
          *static_cast<BSTR*>(to) = text == nullptr ? nullptr : emulation::EmulatedString(text, SysStringLen(text));
        } else if (source->fFeatures & (FADF_DISPATCH | FADF_UNKNOWN)) {
          IUnknown* object = *static_cast<IUnknown* const*>(from);
          if (object != nullptr) object->AddRef();
          *static_cast<IUnknown**>(to) = object;
        } else {
          memcpy(to, from, source->cbElements);
        }
      }
    } else if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
      copy.bstrVal = emulation::EmulatedString(copy.bstrVal, SysStringLen(copy.bstrVal));
    } else if ((copy.vt == VT_DISPATCH || copy.vt == VT_UNKNOWN) && copy.punkVal != nullptr) {
      copy.punkVal->AddRef();
    }
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT VarBstrCat(BSTR bstrLeft, BSTR bstrRight, BSTR* pbstrResult) {
  return emulation::UnderFault("VarBstrCat", [&]() -> HRESULT {
    if (pbstrResult == nullptr) return E_INVALIDARG;
    const UINT left = SysStringLen(bstrLeft), right = SysStringLen(bstrRight);
    BSTR result = emulation::EmulatedString(nullptr, left + right);
    if (result == nullptr) return E_OUTOFMEMORY;
    if (left > 0) memcpy(result, bstrLeft, left * sizeof(OLECHAR));
    if (right > 0) memcpy(result + left, bstrRight, right * sizeof(OLECHAR));
    *pbstrResult = result;
    return S_OK;
  });
}

HRESULT VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID, ULONG dwFlags) {
  // A null string compares as an empty one.
  const UINT left = SysStringLen(bstrLeft), right = SysStringLen(bstrRight);
  const auto fold = [&](OLECHAR c) -> OLECHAR {
    return (dwFlags & NORM_IGNORECASE) && c >= u'a' && c <= u'z' ? static_cast<OLECHAR>(c - 32) : c;
  };
  for (UINT i = 0; i < left && i < right; ++i) {
    const OLECHAR a = fold(bstrLeft[i]), b = fold(bstrRight[i]);
    if (a != b) return a < b ? VARCMP_LT : VARCMP_GT;
  }
  if (left == right) return VARCMP_EQ;
  return left < right ? VARCMP_LT : VARCMP_GT;
}
