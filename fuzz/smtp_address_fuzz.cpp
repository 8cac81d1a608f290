// The proxy-address rule of ResolveSmtpAddress, against a stub address book
// that gives the entry the fuzzer's address type, own address and proxy
// addresses: the first proxy address of the type (its first four
// characters in any case) gives the text after its colon, or none when it
// is too short; without proxy addresses, the own address when the type
// matches. Every MAPI block is freed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "messaging/smtp_address.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/control.h"
#include "platform/emulation/mapi/unserved.h"

namespace {

struct Entry {
  std::optional<std::string> addressType;
  std::optional<std::string> ownAddress;
  std::optional<std::vector<std::string>> proxies;
};

// Copies text into the block that parent belongs to.
char* CopyInto(void* parent, const std::string& text) {
  void* copy = nullptr;
  if (FAILED(MAPIAllocateMore(static_cast<ULONG>(text.size() + 1), parent, &copy))) abort();
  memcpy(copy, text.c_str(), text.size() + 1);
  return static_cast<char*>(copy);
}

// Fills the one entry of the list with the entry's three values, as the
// address book does: a value it does not have comes back error-typed.
class StubAddressBook : public emulation::ObjectBase, public emulation::UnservedAddrBook<IAddrBook> {
 public:
  explicit StubAddressBook(const Entry& entry)
      : ObjectBase("stub address book"), UnservedAddrBook<IAddrBook>("IAddrBook"), entry_(entry) {}
  IUnknown* FaceFor(REFIID) override { return static_cast<IAddrBook*>(this); }

  HRESULT STDMETHODCALLTYPE PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST list) override {
    LPSPropValue values = nullptr;
    if (FAILED(MAPIAllocateBuffer(3 * sizeof(SPropValue), reinterpret_cast<void**>(&values)))) abort();
    memset(values, 0, 3 * sizeof(SPropValue));
    const auto text = [&](SPropValue& value, ULONG tag, const std::optional<std::string>& text) {
      value.ulPropTag = text ? tag : PROP_TAG(PT_ERROR, PROP_ID(tag));
      if (text)
        value.Value.lpszA = CopyInto(values, *text);
      else
        value.Value.err = MAPI_E_NOT_FOUND;
    };
    text(values[0], PR_ADDRTYPE_A, entry_.addressType);
    text(values[1], PR_EMAIL_ADDRESS_A, entry_.ownAddress);
    if (entry_.proxies) {
      values[2].ulPropTag = PR_EMS_AB_PROXY_ADDRESSES_A;
      values[2].Value.MVszA.cValues = static_cast<ULONG>(entry_.proxies->size());
      void* array = nullptr;
      if (FAILED(MAPIAllocateMore(static_cast<ULONG>(entry_.proxies->size() * sizeof(char*) + 1), values, &array)))
        abort();
      values[2].Value.MVszA.lppszA = static_cast<char**>(array);
      for (size_t i = 0; i < entry_.proxies->size(); ++i)
        values[2].Value.MVszA.lppszA[i] = CopyInto(values, (*entry_.proxies)[i]);
    } else {
      values[2].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(PR_EMS_AB_PROXY_ADDRESSES_A));
      values[2].Value.err = MAPI_E_NOT_FOUND;
    }
    MAPIFreeBuffer(list->aEntries[0].rgPropVals);
    list->aEntries[0].rgPropVals = values;
    list->aEntries[0].cValues = 3;
    return S_OK;
  }

 private:
  Entry entry_;
};

bool SameType(const std::string& text, size_t count) {
  static const char kType[] = "smtp";
  for (size_t i = 0; i < count; ++i) {
    const char c = i < text.size() ? text[i] : '\0';
    const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (folded != kType[i]) return false;
    if (c == '\0') return true;
  }
  return true;
}

// The rule, written out plainly.
std::optional<std::string> Expected(const Entry& entry) {
  if (entry.proxies) {
    for (const std::string& proxy : *entry.proxies) {
      if (!SameType(proxy, 4)) continue;
      if (proxy.size() < 5) return std::nullopt;
      return proxy.substr(5);
    }
    return std::nullopt;
  }
  if (entry.addressType && entry.ownAddress && SameType(*entry.addressType, 5)) return entry.ownAddress;
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte says which values the entry has; the rest are its texts,
  // separated by line feeds: type, own address, then the proxy addresses.
  const uint8_t present = data[0];
  std::vector<std::string> texts(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == '\n')
      texts.emplace_back();
    else if (data[i] != '\0')
      texts.back() += static_cast<char>(data[i]);
  }
  texts.resize(std::max<size_t>(texts.size(), 2));
  Entry entry;
  if (present & 1) entry.addressType = texts[0];
  if (present & 2) entry.ownAddress = texts[1];
  if (present & 4) entry.proxies = std::vector<std::string>(texts.begin() + 2, texts.end());

  {
    StubAddressBook book(entry);
    BYTE entryId[24] = {};
    char* address = nullptr;
    const HRESULT status = ResolveSmtpAddress(&book, sizeof entryId, entryId, "SMTP", &address);
    const std::optional<std::string> expected = Expected(entry);
    if (expected) {
      if (status != S_OK || address == nullptr || *expected != address) abort();
      delete[] address;
    } else if (status != kNoAddressOfType || address != nullptr) {
      abort();
    }
  }
  if (!emulation::LedgerLive().empty() || !emulation::LedgerViolations().empty()) abort();
  emulation::ResetRun();
  return 0;
}
