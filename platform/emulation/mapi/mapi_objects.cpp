#include "platform/emulation/mapi/mapi_objects.h"

#include <algorithm>
#include <cstring>

#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/mapi/mapi_memory.h"
#include "platform/emulation/mapi/unserved.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"
#include "platform/exchange.h"

namespace emulation {

const MAPIUID kAddressBookProvider = {
    {0xDC, 0xA7, 0x40, 0xC8, 0xC0, 0x42, 0x10, 0x1A, 0xB4, 0xB9, 0x08, 0x00, 0x2B, 0x2F, 0xE1, 0x82}};
const MAPIUID kStoreProvider = {
    {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B, 0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17}};

std::vector<BYTE> MakeEntryId(const MAPIUID& provider, std::string_view key) {
  // Four flag bytes, the provider's UID, then the key. Built by element
  // copies: memcpy into a new vector makes g++ 12 report false
  // out-of-bounds copies at -O2.
  std::vector<BYTE> bytes(4, 0);
  bytes.reserve(4 + sizeof provider.ab + key.size());
  bytes.insert(bytes.end(), std::begin(provider.ab), std::end(provider.ab));
  bytes.insert(bytes.end(), key.begin(), key.end());
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

std::string StoreKey(size_t profileIndex, size_t storeIndex) {
  return "profile/" + std::to_string(profileIndex) + "/" + std::to_string(storeIndex);
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
        return NewProfileStore(Profile().stores[i], *key, lpInterface, lppMDB);
      }
      // Another user's mailbox, by an entry ID from CreateStoreEntryID.
      if (IsMailboxKey(*key)) return OpenMailboxStore(organisation_, Profile().identity, *key, lpInterface, lppMDB);
      return MAPI_E_NOT_FOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                                            LPADRBOOK* lppAdrBook) override {
    *lppAdrBook = nullptr;
    const std::string arguments =
        Describe("0x%lX, ", static_cast<unsigned long>(ulUIParam)) + NameOf(lpInterface) + Describe(", 0x%X", ulFlags);
    return Guarded("IMAPISession::OpenAddressBook", arguments,
                   [&]() -> HRESULT { return NewAddressBook(organisation_, lpInterface, lppAdrBook); });
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
