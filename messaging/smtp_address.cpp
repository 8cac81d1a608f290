#include "messaging/smtp_address.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

// Case-insensitive comparison of at most count characters, ASCII letters
// folded, as the platform's _strnicmp does in the C locale.
bool EqualIgnoringCase(const char* left, const char* right, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(left[i]) != fold(right[i])) return false;
    if (left[i] == '\0') return true;
  }
  return true;
}

// The length of a proxy address's type prefix with its colon ("SMTP:").
constexpr size_t kProxyPrefixLength = 5;
constexpr size_t kProxyTypeLength = 4;

HRESULT CopyToHeap(const char* text, char** address) {
  const size_t length = strlen(text);
  char* copy = new (std::nothrow) char[length + 2];
  if (copy == nullptr) return E_FAIL;
  memcpy(copy, text, length + 1);
  *address = copy;
  return S_OK;
}

// Picks the address out of an entry that PrepareRecips has filled: values
// 0, 1 and 2 are the address type, the own address and the proxy addresses.
HRESULT PickAddress(const LPSPropValue values, const char* addressType, char** address) {
  const SPropValue& proxies = values[2];
  if (proxies.ulPropTag == PR_EMS_AB_PROXY_ADDRESSES_A) {
    for (ULONG i = 0; i < proxies.Value.MVszA.cValues; ++i) {
      const char* proxy = proxies.Value.MVszA.lppszA[i];
      if (!EqualIgnoringCase(proxy, addressType, kProxyTypeLength)) continue;
      // The first match is taken; one too short to hold an address yields none.
      if (strlen(proxy) < kProxyPrefixLength) return kNoAddressOfType;
      return CopyToHeap(proxy + kProxyPrefixLength, address);
    }
    return kNoAddressOfType;
  }
  const SPropValue& type = values[0];
  const SPropValue& own = values[1];
  if (type.ulPropTag != PR_ADDRTYPE_A || own.ulPropTag != PR_EMAIL_ADDRESS_A || type.Value.lpszA == nullptr ||
      !EqualIgnoringCase(type.Value.lpszA, addressType, SIZE_MAX))
    return kNoAddressOfType;
  return CopyToHeap(own.Value.lpszA, address);
}

}  // namespace

HRESULT CreateAddressList(ULONG count, LPADRLIST* list) {
  *list = nullptr;
  const ULONG size = static_cast<ULONG>(CbNewADRLIST(count));
  if (FAILED(MAPIAllocateBuffer(size, reinterpret_cast<LPVOID*>(list)))) return E_OUTOFMEMORY;
  memset(*list, 0, size);
  (*list)->cEntries = count;
  return S_OK;
}

HRESULT SetAddressListEntry(ULONG index, ULONG valueCount, LPSPropValue values, LPADRLIST list) {
  if (index >= list->cEntries) return E_FAIL;
  LPSPropValue copy = nullptr;
  if (FAILED(ScDupPropset(static_cast<int>(valueCount), values, MAPIAllocateBuffer, &copy))) return E_FAIL;
  ADRENTRY& entry = list->aEntries[index];
  if (entry.rgPropVals != nullptr) MAPIFreeBuffer(entry.rgPropVals);
  entry.cValues = valueCount;
  entry.rgPropVals = copy;
  return S_OK;
}

HRESULT ResolveSmtpAddress(LPADRBOOK addressBook, ULONG entryIdSize, LPBYTE entryId, const char* addressType,
                           char** address) {
  if (entryIdSize == 0 || entryId == nullptr) return E_INVALIDARG;

  LPADRLIST list = nullptr;
  HRESULT hr = CreateAddressList(1, &list);
  if (FAILED(hr)) return hr;

  try {
    SPropValue recipient[2] = {};
    recipient[0].ulPropTag = PR_ENTRYID;
    recipient[0].Value.bin.cb = entryIdSize;
    recipient[0].Value.bin.lpb = entryId;
    recipient[1].ulPropTag = PR_RECIPIENT_TYPE;
    recipient[1].Value.l = MAPI_TO;
    hr = SetAddressListEntry(0, 2, recipient, list);
    if (SUCCEEDED(hr)) {
      SizedSPropTagArray(3, wanted) = {3, {PR_ADDRTYPE_A, PR_EMAIL_ADDRESS_A, PR_EMS_AB_PROXY_ADDRESSES_A}};
      hr = addressBook->PrepareRecips(0, reinterpret_cast<LPSPropTagArray>(&wanted), list);
      if (SUCCEEDED(hr)) {
        const ADRENTRY& entry = list->aEntries[0];
        // Still the two values given (or fewer than the three asked for):
        // the address book added nothing.
        hr = entry.cValues < 3 ? kNoAddressOfType : PickAddress(entry.rgPropVals, addressType, address);
      }
    }
  } catch (...) {
    hr = E_FAIL;
  }
  FreePadrlist(list);
  return hr;
}
