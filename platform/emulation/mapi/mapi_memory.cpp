#include "platform/emulation/mapi/mapi_memory.h"

#include <cstdlib>
#include <cstring>

#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"

namespace emulation {

namespace {

// Every block starts with a header; blocks from MAPIAllocateMore hang off
// their parent's and are freed with it.
struct alignas(16) BlockHeader {
  BlockHeader* nextLinked;
  ULONG size;
};

void* Payload(BlockHeader* header) { return header + 1; }
BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

BlockHeader* NewHeader(ULONG size) {
  auto* header = static_cast<BlockHeader*>(malloc(sizeof(BlockHeader) + size));
  if (header != nullptr) *header = {nullptr, size};
  return header;
}

}  // namespace

SCODE AllocateBlock(ULONG size, void** block, const std::string& what) {
  *block = nullptr;
  BlockHeader* header = NewHeader(size);
  if (header == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  *block = Payload(header);
  Ledger::Instance().Acquire(Resource::MapiBlock, *block, what);
  return S_OK;
}

SCODE AllocateMore(ULONG size, void* parent, void** block) {
  *block = nullptr;
  if (parent == nullptr || !Ledger::Instance().Holds(Resource::MapiBlock, parent)) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* header = NewHeader(size);
  if (header == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  BlockHeader* root = HeaderOf(parent);
  header->nextLinked = root->nextLinked;
  root->nextLinked = header;
  *block = Payload(header);
  return S_OK;
}

void SetErrorValue(SPropValue& target, ULONG tag, SCODE error) {
  target.ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
  target.dwAlignPad = 0;
  target.Value.err = error;
}

namespace {

SCODE CopyText(const char* text, LPSTR* target, void* parent) {
  const size_t size = strlen(text) + 1;
  void* copy = nullptr;
  if (const SCODE sc = AllocateMore(static_cast<ULONG>(size), parent, &copy); FAILED(sc)) return sc;
  memcpy(copy, text, size);
  *target = static_cast<LPSTR>(copy);
  return S_OK;
}

SCODE CopyWide(emulation::WideStringView text, LPWSTR* target, void* parent) {
  void* copy = nullptr;
  const ULONG size = static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR));
  if (const SCODE sc = AllocateMore(size, parent, &copy); FAILED(sc)) return sc;
  memcpy(copy, text.data(), text.size() * sizeof(WCHAR));
  static_cast<LPWSTR>(copy)[text.size()] = 0;
  *target = static_cast<LPWSTR>(copy);
  return S_OK;
}

SCODE CopyBytes(const BYTE* bytes, ULONG count, SBinary& target, void* parent) {
  void* copy = nullptr;
  if (const SCODE sc = AllocateMore(count, parent, &copy); FAILED(sc)) return sc;
  if (count != 0) memcpy(copy, bytes, count);
  target.cb = count;
  target.lpb = static_cast<LPBYTE>(copy);
  return S_OK;
}

SCODE CopyStrings(const std::vector<const char*>& texts, SLPSTRArray& target, void* parent) {
  void* array = nullptr;
  const ULONG count = static_cast<ULONG>(texts.size());
  if (const SCODE sc = AllocateMore(count * sizeof(LPSTR), parent, &array); FAILED(sc)) return sc;
  target.cValues = count;
  target.lppszA = static_cast<LPSTR*>(array);
  for (ULONG i = 0; i < count; ++i)
    if (const SCODE sc = CopyText(texts[i], &target.lppszA[i], parent); FAILED(sc)) return sc;
  return S_OK;
}

}  // namespace

SCODE CopyPropValue(const SPropValue& source, SPropValue& target, void* parent) {
  target = source;
  switch (PROP_TYPE(source.ulPropTag)) {
    case PT_STRING8:
      return CopyText(source.Value.lpszA, &target.Value.lpszA, parent);
    case PT_UNICODE: {
      const LPWSTR text = source.Value.lpszW;
      size_t length = 0;
      while (text[length] != 0) ++length;
      return CopyWide({text, length}, &target.Value.lpszW, parent);
    }
    case PT_BINARY:
      return CopyBytes(source.Value.bin.lpb, source.Value.bin.cb, target.Value.bin, parent);
    case PT_MV_STRING8: {
      const SLPSTRArray& texts = source.Value.MVszA;
      return CopyStrings({texts.lppszA, texts.lppszA + texts.cValues}, target.Value.MVszA, parent);
    }
    case PT_I2:
    case PT_LONG:
    case PT_BOOLEAN:
    case PT_ERROR:
    case PT_NULL:
    case PT_UNSPECIFIED:
      return S_OK;
    default:
      return MAPI_E_INVALID_TYPE;
  }
}

void PropertyBag::SetString(ULONG tag, std::string value) {
  properties_.push_back({PROP_TAG(PT_STRING8, PROP_ID(tag)), std::move(value), {}, {}});
}
void PropertyBag::SetBoolean(ULONG tag, bool value) {
  properties_.push_back({PROP_TAG(PT_BOOLEAN, PROP_ID(tag)), {}, {}, {}, value ? 1 : 0});
}
void PropertyBag::SetLong(ULONG tag, LONG value) {
  properties_.push_back({PROP_TAG(PT_LONG, PROP_ID(tag)), {}, {}, {}, value});
}
void PropertyBag::SetBinary(ULONG tag, std::vector<BYTE> value) {
  properties_.push_back({PROP_TAG(PT_BINARY, PROP_ID(tag)), {}, {}, std::move(value)});
}
void PropertyBag::SetStrings(ULONG tag, std::vector<std::string> value) {
  properties_.push_back({PROP_TAG(PT_MV_STRING8, PROP_ID(tag)), {}, std::move(value), {}});
}

const PropertyBag::Property* PropertyBag::Find(ULONG tag) const {
  for (const Property& property : properties_)
    if (PROP_ID(property.tag) == PROP_ID(tag)) return &property;
  return nullptr;
}

bool PropertyBag::Fill(ULONG tag, SPropValue& target, void* parent) const {
  const Property* property = Find(tag);
  if (property == nullptr) return false;
  ULONG wanted = PROP_TYPE(tag) == PT_UNSPECIFIED ? PROP_TYPE(property->tag) : PROP_TYPE(tag);
  const ULONG own = PROP_TYPE(property->tag);
  // Strings are served 8-bit or wide, whichever is asked for.
  if (wanted != own && !(wanted == PT_UNICODE && own == PT_STRING8)) return false;
  target.ulPropTag = PROP_TAG(wanted, PROP_ID(tag));
  target.dwAlignPad = 0;
  switch (wanted) {
    case PT_STRING8:
      return SUCCEEDED(CopyText(property->text.c_str(), &target.Value.lpszA, parent));
    case PT_UNICODE:
      return SUCCEEDED(CopyWide(Utf16FromUtf8(property->text), &target.Value.lpszW, parent));
    case PT_BINARY:
      return SUCCEEDED(
          CopyBytes(property->bytes.data(), static_cast<ULONG>(property->bytes.size()), target.Value.bin, parent));
    case PT_MV_STRING8: {
      std::vector<const char*> texts;
      for (const std::string& text : property->texts) texts.push_back(text.c_str());
      return SUCCEEDED(CopyStrings(texts, target.Value.MVszA, parent));
    }
    case PT_BOOLEAN:
      target.Value.b = static_cast<unsigned short>(property->number);
      return true;
    case PT_LONG:
      target.Value.l = property->number;
      return true;
    default:
      return false;
  }
}

HRESULT PropertyBag::GetProps(const SPropTagArray* tags, ULONG* count, LPSPropValue* values,
                              const std::string& what) const {
  *count = 0;
  *values = nullptr;
  std::vector<ULONG> wanted;
  if (tags != nullptr)
    wanted.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
  else
    for (const Property& property : properties_) wanted.push_back(property.tag);

  void* block = nullptr;
  if (const SCODE sc = AllocateBlock(static_cast<ULONG>(wanted.size() * sizeof(SPropValue)), &block, what); FAILED(sc))
    return sc;
  auto* array = static_cast<LPSPropValue>(block);
  // A planned MAPI_W_ERRORS_RETURNED comes, as on the platform, with values
  // that are errors: here all of them.
  const Fault* warning = PlannedWarning();
  const bool allErrors = warning != nullptr && warning->status == MAPI_W_ERRORS_RETURNED;
  HRESULT result = S_OK;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (allErrors) {
      SetErrorValue(array[i], wanted[i], warning->valueError);
      result = MAPI_W_ERRORS_RETURNED;
    } else if (!Fill(wanted[i], array[i], block)) {
      SetErrorValue(array[i], wanted[i], MAPI_E_NOT_FOUND);
      result = MAPI_W_ERRORS_RETURNED;
    }
  }
  *count = static_cast<ULONG>(wanted.size());
  *values = array;
  return result;
}

std::string TagList(const SPropTagArray* tags) {
  if (tags == nullptr) return "null";
  std::string list = "[";
  for (ULONG i = 0; i < tags->cValues; ++i) list += Describe(i == 0 ? "0x%08X" : " 0x%08X", tags->aulPropTag[i]);
  return list + "]";
}

}  // namespace emulation

using emulation::AllocateBlock;
using emulation::Ledger;
using emulation::Resource;
using emulation::UnderFault;

SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  *lppBuffer = nullptr;
  return emulation::UnderFault("MAPIAllocateBuffer", emulation::Describe("%u bytes", cbSize), [&] {
    return AllocateBlock(cbSize, lppBuffer, "of " + std::to_string(cbSize) + " bytes from MAPIAllocateBuffer");
  });
}

SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  *lppBuffer = nullptr;
  return emulation::UnderFault("MAPIAllocateMore", emulation::Describe("%u bytes", cbSize),
                               [&] { return emulation::AllocateMore(cbSize, lpObject, lppBuffer); });
}

ULONG MAPIFreeBuffer(LPVOID lpBuffer) {
  if (lpBuffer == nullptr) return S_OK;
  if (!Ledger::Instance().Release(Resource::MapiBlock, lpBuffer, "MAPIFreeBuffer")) return S_OK;
  auto* header = static_cast<emulation::BlockHeader*>(lpBuffer) - 1;
  while (header != nullptr) {
    auto* next = header->nextLinked;
    free(header);
    header = next;
  }
  return S_OK;
}

SCODE ScDupPropset(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer,
                   LPSPropValue* lppPropArray) {
  *lppPropArray = nullptr;
  return UnderFault("ScDupPropset", [&]() -> HRESULT {
    if (cValues < 0 || (cValues > 0 && lpPropArray == nullptr)) return MAPI_E_INVALID_PARAMETER;
    // The copy is one block: the values first, then what they point to. Only
    // the allocation function is given, so nothing can be linked on.
    size_t size = static_cast<size_t>(cValues) * sizeof(SPropValue);
    const auto align = [](size_t n) { return (n + 7) & ~size_t{7}; };
    for (int i = 0; i < cValues; ++i) {
      const SPropValue& value = lpPropArray[i];
      switch (PROP_TYPE(value.ulPropTag)) {
        case PT_STRING8:
          size += align(strlen(value.Value.lpszA) + 1);
          break;
        case PT_BINARY:
          size += align(value.Value.bin.cb);
          break;
        case PT_MV_STRING8:
          size += align(value.Value.MVszA.cValues * sizeof(LPSTR));
          for (ULONG k = 0; k < value.Value.MVszA.cValues; ++k) size += align(strlen(value.Value.MVszA.lppszA[k]) + 1);
          break;
        case PT_I2:
        case PT_LONG:
        case PT_BOOLEAN:
        case PT_ERROR:
        case PT_NULL:
          break;
        default:
          return MAPI_E_INVALID_TYPE;
      }
    }
    void* block = nullptr;
    if (const SCODE sc = lpAllocateBuffer(static_cast<ULONG>(size), &block); FAILED(sc)) return sc;
    auto* values = static_cast<LPSPropValue>(block);
    BYTE* next = static_cast<BYTE*>(block) + static_cast<size_t>(cValues) * sizeof(SPropValue);
    const auto take = [&](size_t bytes) {
      BYTE* at = next;
      next += align(bytes);
      return at;
    };
    for (int i = 0; i < cValues; ++i) {
      const SPropValue& source = lpPropArray[i];
      SPropValue& target = values[i];
      target = source;
      switch (PROP_TYPE(source.ulPropTag)) {
        case PT_STRING8: {
          const size_t bytes = strlen(source.Value.lpszA) + 1;
          target.Value.lpszA = reinterpret_cast<LPSTR>(memcpy(take(bytes), source.Value.lpszA, bytes));
          break;
        }
        case PT_BINARY: {
          BYTE* at = take(source.Value.bin.cb);
          if (source.Value.bin.cb != 0) memcpy(at, source.Value.bin.lpb, source.Value.bin.cb);
          target.Value.bin.lpb = at;
          break;
        }
        case PT_MV_STRING8: {
          const ULONG count = source.Value.MVszA.cValues;
          auto* texts = reinterpret_cast<LPSTR*>(take(count * sizeof(LPSTR)));
          for (ULONG k = 0; k < count; ++k) {
            const size_t bytes = strlen(source.Value.MVszA.lppszA[k]) + 1;
            texts[k] = reinterpret_cast<LPSTR>(memcpy(take(bytes), source.Value.MVszA.lppszA[k], bytes));
          }
          target.Value.MVszA.lppszA = texts;
          break;
        }
        default:
          break;
      }
    }
    *lppPropArray = values;
    return S_OK;
  });
}

void FreeProws(LPSRowSet lpRows) {
  if (lpRows == nullptr) return;
  for (ULONG i = 0; i < lpRows->cRows; ++i) MAPIFreeBuffer(lpRows->aRow[i].lpProps);
  MAPIFreeBuffer(lpRows);
}

void FreePadrlist(LPADRLIST lpAdrlist) {
  if (lpAdrlist == nullptr) return;
  for (ULONG i = 0; i < lpAdrlist->cEntries; ++i) MAPIFreeBuffer(lpAdrlist->aEntries[i].rgPropVals);
  MAPIFreeBuffer(lpAdrlist);
}

HRESULT HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp) {
  *lppProp = nullptr;
  return UnderFault("HrGetOneProp", emulation::Describe("0x%08X", ulPropTag), [&]() -> HRESULT {
    SizedSPropTagArray(1, tags) = {1, {ulPropTag}};
    ULONG count = 0;
    HRESULT hr = lpMapiProp->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, lppProp);
    if (hr == MAPI_W_ERRORS_RETURNED) {
      // The one value asked for is missing: report its error, hand out none.
      hr = (*lppProp)->Value.err;
      MAPIFreeBuffer(*lppProp);
      *lppProp = nullptr;
    }
    return hr;
  });
}

HRESULT HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                       LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows) {
  *lppRows = nullptr;
  const std::string arguments = emulation::TagList(lpPropTags) + (lpRestriction ? ", restriction" : ", null") +
                                (lpSortOrderSet ? ", sort order" : ", null") + ", " + std::to_string(crowsMax);
  return UnderFault("HrQueryAllRows", arguments, [&]() -> HRESULT {
    if (lpRestriction != nullptr || lpSortOrderSet != nullptr) return MAPI_E_NO_SUPPORT;
    if (lpPropTags != nullptr)
      if (const HRESULT hr = lpTable->SetColumns(lpPropTags, 0); FAILED(hr)) return hr;
    ULONG total = 0;
    if (const HRESULT hr = lpTable->GetRowCount(0, &total); FAILED(hr)) return hr;
    if (crowsMax > 0 && total > static_cast<ULONG>(crowsMax)) return MAPI_E_TABLE_TOO_BIG;
    return lpTable->QueryRows(static_cast<LONG>(total), 0, lppRows);
  });
}
