#include "platform/emulation/mapi/mapi_objects.h"

#include <algorithm>
#include <cstring>

#include "platform/emulation/mapi/mapi_memory.h"
#include "platform/emulation/mapi/unserved.h"
#include "platform/emulation/runtime/object.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"
#include "platform/exchange.h"

namespace emulation {

const MAPIUID kAddressBookProvider = {
    {0xDC, 0xA7, 0x40, 0xC8, 0xC0, 0x42, 0x10, 0x1A, 0xB4, 0xB9, 0x08, 0x00, 0x2B, 0x2F, 0xE1, 0x82}};
const MAPIUID kStoreProvider = {
    {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B, 0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17}};

std::vector<BYTE> MakeEntryId(const MAPIUID& provider, std::string_view key) {
  constexpr size_t kHeader = 4 + sizeof provider.ab;
  // Sized once and filled in place: growing the vector by the key makes
  // g++ 12 report a false out-of-bounds copy at -O2.
  std::vector<BYTE> bytes(kHeader + key.size(), 0);
  memcpy(bytes.data() + 4, provider.ab, sizeof provider.ab);
  if (!key.empty()) memcpy(bytes.data() + kHeader, key.data(), key.size());
  return bytes;
}

std::optional<std::string> ReadEntryId(const MAPIUID& provider, ULONG size, const ENTRYID* entryId) {
  constexpr ULONG kHeader = 4 + sizeof provider.ab;
  if (entryId == nullptr || size < kHeader) return std::nullopt;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(entryId);
  if (memcmp(bytes + 4, provider.ab, sizeof provider.ab) != 0) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(bytes) + kHeader, size - kHeader);
}

namespace {

PropertyBag EntryProperties(const AddressEntry& entry) {
  PropertyBag bag;
  if (entry.displayName) bag.SetString(PR_DISPLAY_NAME_A, *entry.displayName);
  if (entry.addressType) bag.SetString(PR_ADDRTYPE_A, *entry.addressType);
  if (entry.emailAddress) bag.SetString(PR_EMAIL_ADDRESS_A, *entry.emailAddress);
  if (entry.homeMdb) bag.SetString(PR_EMS_AB_HOME_MDB_A, *entry.homeMdb);
  if (entry.proxyAddresses) bag.SetStrings(PR_EMS_AB_PROXY_ADDRESSES_A, *entry.proxyAddresses);
  bag.SetBinary(PR_ENTRYID, MakeEntryId(kAddressBookProvider, entry.key));
  return bag;
}

// The recipients of an address list as the journal shows them: each
// entry's values, tag and value.
std::string Recipients(const ADRLIST* list) {
  if (list == nullptr) return "null";
  std::string text = "[";
  for (ULONG i = 0; i < list->cEntries; ++i) {
    const ADRENTRY& entry = list->aEntries[i];
    text += i == 0 ? "[" : ", [";
    for (ULONG k = 0; k < entry.cValues; ++k) {
      const SPropValue& value = entry.rgPropVals[k];
      text += Describe(k == 0 ? "0x%08X" : ", 0x%08X", value.ulPropTag);
      switch (PROP_TYPE(value.ulPropTag)) {
        case PT_LONG:
          text += Describe(" = %d", value.Value.l);
          break;
        case PT_BINARY:
          text += Describe(" (%u bytes)", value.Value.bin.cb);
          break;
        case PT_STRING8:
          text += std::string(" \"") + (value.Value.lpszA ? value.Value.lpszA : "") + "\"";
          break;
        default:
          break;
      }
    }
    text += "]";
  }
  return text + "]";
}

std::string StoreKey(size_t profileIndex, size_t storeIndex) {
  return "profile/" + std::to_string(profileIndex) + "/" + std::to_string(storeIndex);
}

PropertyBag StoreProperties(const StoreDefinition& store, const std::string& key) {
  PropertyBag bag;
  if (store.isDefault) bag.SetBoolean(PR_DEFAULT_STORE, *store.isDefault);
  bag.SetBinary(PR_ENTRYID, MakeEntryId(kStoreProvider, key));
  if (store.displayName) bag.SetString(PR_DISPLAY_NAME_A, *store.displayName);
  return bag;
}

// The table methods serve HrQueryAllRows, inside the platform: they are
// checked but neither journalled nor fault points of their own.
class Table final : public ObjectBase, public UnservedTable<IMAPITable> {
 public:
  Table(std::string what, std::vector<PropertyBag> rows)
      : ObjectBase(std::move(what)), UnservedTable<IMAPITable>("IMAPITable"), rows_(std::move(rows)) {}

  IUnknown* FaceFor(REFIID riid) override {
    return riid == IID_IUnknown || riid == IID_IMAPITable ? static_cast<IMAPITable*>(this) : nullptr;
  }

  HRESULT STDMETHODCALLTYPE SetColumns(LPSPropTagArray lpPropTagArray, ULONG) override {
    if (const HRESULT usable = Unserved("IMAPITable::SetColumns", S_OK); FAILED(usable)) return usable;
    if (lpPropTagArray == nullptr) return MAPI_E_INVALID_PARAMETER;
    columns_.assign(lpPropTagArray->aulPropTag, lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRowCount(ULONG, ULONG* lpulCount) override {
    if (const HRESULT usable = Unserved("IMAPITable::GetRowCount", S_OK); FAILED(usable)) return usable;
    *lpulCount = static_cast<ULONG>(rows_.size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryRows(LONG lRowCount, ULONG, LPSRowSet* lppRows) override {
    *lppRows = nullptr;
    if (const HRESULT usable = Unserved("IMAPITable::QueryRows", S_OK); FAILED(usable)) return usable;
    if (lRowCount < 0) return MAPI_E_NO_SUPPORT;
    const size_t count = std::min(rows_.size() - cursor_, static_cast<size_t>(lRowCount));
    void* block = nullptr;
    if (const SCODE sc =
            AllocateBlock(static_cast<ULONG>(CbNewSRowSet(count)), &block, "row set from IMAPITable::QueryRows");
        FAILED(sc))
      return sc;
    auto* rows = static_cast<LPSRowSet>(block);
    rows->cRows = 0;
    // The columns as an SPropTagArray: the count, then the tags.
    std::vector<ULONG> columns{static_cast<ULONG>(columns_.size())};
    columns.insert(columns.end(), columns_.begin(), columns_.end());
    const auto* asked = columns_.empty() ? nullptr : reinterpret_cast<const SPropTagArray*>(columns.data());
    for (size_t i = 0; i < count; ++i) {
      SRow& row = rows->aRow[i];
      row.ulAdrEntryPad = 0;
      const HRESULT hr =
          rows_[cursor_ + i].GetProps(asked, &row.cValues, &row.lpProps, "row from IMAPITable::QueryRows");
      if (FAILED(hr)) {
        FreeProws(rows);
        return hr;
      }
      rows->cRows = static_cast<ULONG>(i + 1);
    }
    cursor_ += count;
    *lppRows = rows;
    return S_OK;
  }

 private:
  std::vector<PropertyBag> rows_;
  std::vector<ULONG> columns_;
  size_t cursor_ = 0;
};

class MailUser final : public ObjectBase, public UnservedMapiProp<IMailUser> {
 public:
  explicit MailUser(const AddressEntry& entry)
      : ObjectBase("address-book entry \"" + entry.key + "\""),
        UnservedMapiProp<IMailUser>("IMailUser"),
        properties_(EntryProperties(entry)) {}

  IUnknown* FaceFor(REFIID riid) override {
    return riid == IID_IUnknown || riid == IID_IMAPIProp || riid == IID_IMailUser ? static_cast<IMailUser*>(this)
                                                                                  : nullptr;
  }

  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                                     LPSPropValue* lppPropArray) override {
    *lpcValues = 0;
    *lppPropArray = nullptr;
    const std::string arguments = TagList(lpPropTagArray) + Describe(", 0x%X", ulFlags);
    return Guarded("IMailUser::GetProps", arguments, [&]() -> HRESULT {
      return properties_.GetProps(lpPropTagArray, lpcValues, lppPropArray, "values from IMailUser::GetProps");
    });
  }

 private:
  PropertyBag properties_;
};

class AddressBook final : public ObjectBase, public UnservedAddrBook<IAddrBook> {
 public:
  explicit AddressBook(std::shared_ptr<const Organisation> organisation)
      : ObjectBase("address book"), UnservedAddrBook<IAddrBook>("IAddrBook"), organisation_(std::move(organisation)) {}

  IUnknown* FaceFor(REFIID riid) override {
    return riid == IID_IUnknown || riid == IID_IMAPIProp || riid == IID_IAddrBook ? static_cast<IAddrBook*>(this)
                                                                                  : nullptr;
  }

  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override {
    *lppUnk = nullptr;
    const std::string arguments = NameOf(lpInterface) + Describe(", 0x%X", ulFlags);
    return Guarded("IAddrBook::OpenEntry", arguments, [&]() -> HRESULT {
      const AddressEntry* entry = nullptr;
      if (const HRESULT hr = Find(cbEntryID, lpEntryID, &entry); FAILED(hr)) return hr;
      const HRESULT hr = (new MailUser(*entry))->HandOver(lpInterface, IID_IMailUser, reinterpret_cast<void**>(lppUnk));
      if (SUCCEEDED(hr) && lpulObjType != nullptr) *lpulObjType = MAPI_MAILUSER;
      return hr;
    });
  }

  // Puts the asked properties of each recipient first, in the asked order,
  // followed by the other values it already had.
  HRESULT STDMETHODCALLTYPE PrepareRecips(ULONG ulFlags, LPSPropTagArray lpPropTagArray,
                                          LPADRLIST lpRecipList) override {
    const std::string arguments =
        Describe("0x%X, ", ulFlags) + TagList(lpPropTagArray) + ", " + Recipients(lpRecipList);
    return Guarded("IAddrBook::PrepareRecips", arguments, [&]() -> HRESULT {
      if (lpRecipList == nullptr) return MAPI_E_INVALID_PARAMETER;
      const ULONG asked = lpPropTagArray != nullptr ? lpPropTagArray->cValues : 0;
      for (ULONG i = 0; i < lpRecipList->cEntries; ++i) {
        ADRENTRY& recipient = lpRecipList->aEntries[i];
        const SPropValue* entryId = nullptr;
        for (ULONG k = 0; k < recipient.cValues; ++k)
          if (recipient.rgPropVals[k].ulPropTag == PR_ENTRYID) entryId = &recipient.rgPropVals[k];
        if (entryId == nullptr) return MAPI_E_INVALID_PARAMETER;
        const AddressEntry* entry = nullptr;
        if (const HRESULT hr = Find(entryId->Value.bin.cb, reinterpret_cast<LPENTRYID>(entryId->Value.bin.lpb), &entry);
            FAILED(hr))
          return hr;

        std::vector<const SPropValue*> kept;
        for (ULONG k = 0; k < recipient.cValues; ++k) {
          const ULONG id = PROP_ID(recipient.rgPropVals[k].ulPropTag);
          const bool isAsked = std::any_of(lpPropTagArray->aulPropTag, lpPropTagArray->aulPropTag + asked,
                                           [&](ULONG tag) { return PROP_ID(tag) == id; });
          if (!isAsked) kept.push_back(&recipient.rgPropVals[k]);
        }
        const ULONG total = asked + static_cast<ULONG>(kept.size());
        void* block = nullptr;
        if (const SCODE sc = AllocateBlock(total * sizeof(SPropValue), &block, "values from IAddrBook::PrepareRecips");
            FAILED(sc))
          return sc;
        auto* values = static_cast<LPSPropValue>(block);
        const PropertyBag properties = EntryProperties(*entry);
        for (ULONG k = 0; k < asked; ++k)
          if (!properties.Fill(lpPropTagArray->aulPropTag[k], values[k], block))
            SetErrorValue(values[k], lpPropTagArray->aulPropTag[k], MAPI_E_NOT_FOUND);
        for (size_t k = 0; k < kept.size(); ++k) {
          if (const SCODE sc = CopyPropValue(*kept[k], values[asked + k], block); FAILED(sc)) {
            MAPIFreeBuffer(block);
            return sc;
          }
        }
        MAPIFreeBuffer(recipient.rgPropVals);
        recipient.rgPropVals = values;
        recipient.cValues = total;
      }
      return S_OK;
    });
  }

 private:
  HRESULT Find(ULONG size, LPENTRYID entryId, const AddressEntry** entry) const {
    const auto key = ReadEntryId(kAddressBookProvider, size, entryId);
    if (!key) return MAPI_E_UNKNOWN_ENTRYID;
    *entry = organisation_->FindEntry(*key);
    return *entry != nullptr ? S_OK : MAPI_E_NOT_FOUND;
  }

  std::shared_ptr<const Organisation> organisation_;
};

class MessageStore final : public ObjectBase,
                           public UnservedMsgStore<IMsgStore>,
                           public UnservedManageStore<IExchangeManageStore> {
 public:
  MessageStore(const StoreDefinition& store, const std::string& key)
      : ObjectBase("store " + key),
        UnservedMsgStore<IMsgStore>("IMsgStore"),
        UnservedManageStore<IExchangeManageStore>("IExchangeManageStore"),
        store_(store),
        properties_(StoreProperties(store, key)) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IMAPIProp || riid == IID_IMsgStore) return static_cast<IMsgStore*>(this);
    // Only a store of an Exchange server can be managed.
    if (riid == IID_IExchangeManageStore && store_.exchange) return static_cast<IExchangeManageStore*>(this);
    return nullptr;
  }

 private:
  StoreDefinition store_;
  PropertyBag properties_;  // what a stores-table row shows of it
};

class Session final : public ObjectBase, public UnservedSession<IMAPISession> {
 public:
  Session(std::shared_ptr<const Organisation> organisation, size_t profileIndex)
      : ObjectBase("session of profile \"" + organisation->profiles[profileIndex].name + "\""),
        UnservedSession<IMAPISession>("IMAPISession"),
        organisation_(std::move(organisation)),
        profileIndex_(profileIndex) {}

  IUnknown* FaceFor(REFIID riid) override {
    return riid == IID_IUnknown || riid == IID_IMAPISession ? static_cast<IMAPISession*>(this) : nullptr;
  }

  HRESULT STDMETHODCALLTYPE GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) override {
    *lppTable = nullptr;
    return Guarded("IMAPISession::GetMsgStoresTable", Describe("0x%X", ulFlags), [&]() -> HRESULT {
      std::vector<PropertyBag> rows;
      for (size_t i = 0; i < Profile().stores.size(); ++i)
        rows.push_back(StoreProperties(Profile().stores[i], StoreKey(profileIndex_, i)));
      return (new Table("message-stores table", std::move(rows)))
          ->HandOver(nullptr, IID_IMAPITable, reinterpret_cast<void**>(lppTable));
    });
  }

  HRESULT STDMETHODCALLTYPE OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                                         ULONG ulFlags, LPMDB* lppMDB) override {
    *lppMDB = nullptr;
    const std::string arguments =
        Describe("0x%lX, ", static_cast<unsigned long>(ulUIParam)) + NameOf(lpInterface) + Describe(", 0x%X", ulFlags);
    return Guarded("IMAPISession::OpenMsgStore", arguments, [&]() -> HRESULT {
      const auto key = ReadEntryId(kStoreProvider, cbEntryID, lpEntryID);
      if (!key) return MAPI_E_INVALID_ENTRYID;
      for (size_t i = 0; i < Profile().stores.size(); ++i) {
        if (StoreKey(profileIndex_, i) != *key) continue;
        return (new MessageStore(Profile().stores[i], *key))
            ->HandOver(lpInterface, IID_IMsgStore, reinterpret_cast<void**>(lppMDB));
      }
      return MAPI_E_NOT_FOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                                            LPADRBOOK* lppAdrBook) override {
    *lppAdrBook = nullptr;
    const std::string arguments =
        Describe("0x%lX, ", static_cast<unsigned long>(ulUIParam)) + NameOf(lpInterface) + Describe(", 0x%X", ulFlags);
    return Guarded("IMAPISession::OpenAddressBook", arguments, [&]() -> HRESULT {
      return (new AddressBook(organisation_))
          ->HandOver(lpInterface, IID_IAddrBook, reinterpret_cast<void**>(lppAdrBook));
    });
  }

  HRESULT STDMETHODCALLTYPE QueryIdentity(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override {
    *lpcbEntryID = 0;
    *lppEntryID = nullptr;
    return Guarded("IMAPISession::QueryIdentity", {}, [&]() -> HRESULT {
      const std::vector<BYTE> entryId = MakeEntryId(kAddressBookProvider, Profile().identity);
      void* block = nullptr;
      if (const SCODE sc =
              AllocateBlock(static_cast<ULONG>(entryId.size()), &block, "entry ID from IMAPISession::QueryIdentity");
          FAILED(sc))
        return sc;
      memcpy(block, entryId.data(), entryId.size());
      *lpcbEntryID = static_cast<ULONG>(entryId.size());
      *lppEntryID = static_cast<LPENTRYID>(block);
      return S_OK;
    });
  }

 private:
  const ProfileDefinition& Profile() const { return organisation_->profiles[profileIndex_]; }

  std::shared_ptr<const Organisation> organisation_;
  size_t profileIndex_;
};

}  // namespace

HRESULT CreateSession(std::shared_ptr<const Organisation> organisation, size_t profileIndex, IMAPISession** session) {
  return (new Session(std::move(organisation), profileIndex))
      ->HandOver(nullptr, IID_IMAPISession, reinterpret_cast<void**>(session));
}

}  // namespace emulation
