// The emulated address book: its entries as mail users, the address
// dialog, and recipient preparation.
#include <algorithm>
#include <cstring>

#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/mapi/dialogs.h"
#include "platform/emulation/mapi/mapi_memory.h"
#include "platform/emulation/mapi/mapi_objects.h"
#include "platform/emulation/mapi/unserved.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"
#include "platform/exchange.h"

namespace emulation {

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

namespace {

// A mail user, or a distribution list, which answers only as an IMAPIProp.
class MailUser final : public ObjectBase, public UnservedMapiProp<IMailUser> {
 public:
  explicit MailUser(const AddressEntry& entry)
      : ObjectBase((entry.distributionList ? "distribution list \"" : "address-book entry \"") + entry.key + "\""),
        UnservedMapiProp<IMailUser>("IMailUser"),
        distributionList_(entry.distributionList),
        properties_(EntryProperties(entry)) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IMAPIProp || (riid == IID_IMailUser && !distributionList_))
      return static_cast<IMailUser*>(this);
    return nullptr;
  }

  ULONG ObjectType() const { return distributionList_ ? MAPI_DISTLIST : MAPI_MAILUSER; }

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
  bool distributionList_;
  PropertyBag properties_;
};

// The dialog's parameters as the journal shows them: the flags, caption,
// wells and focus, and the names of any other fields that are set.
std::string DescribeDialog(const ULONG_PTR* window, const ADRPARM* dialog) {
  if (dialog == nullptr) return "null";
  std::string text =
      Describe("%s, 0x%X, \"%s\", %u well(s) [", window != nullptr && *window != 0 ? "window" : "no window",
               dialog->ulFlags, dialog->lpszCaption ? dialog->lpszCaption : "(null)", dialog->cDestFields);
  for (ULONG i = 0; dialog->lppszDestTitles != nullptr && i < dialog->cDestFields; ++i)
    text +=
        Describe(i == 0 ? "\"%s\"" : ", \"%s\"", dialog->lppszDestTitles[i] ? dialog->lppszDestTitles[i] : "(null)");
  text += Describe("], focus %u", dialog->nDestFieldFocus);
  const std::pair<bool, const char*> others[] = {
      {dialog->cbABContEntryID != 0 || dialog->lpABContEntryID != nullptr, "container"},
      {dialog->lpReserved != nullptr, "reserved"},
      {dialog->ulHelpContext != 0 || dialog->lpszHelpFileName != nullptr, "help"},
      {dialog->lpfnABSDI != nullptr || dialog->lpfnDismiss != nullptr || dialog->lpvDismissContext != nullptr,
       "modeless callbacks"},
      {dialog->lpszNewEntryTitle != nullptr, "new-entry title"},
      {dialog->lpszDestWellsTitle != nullptr, "wells title"},
      {dialog->lpulDestComps != nullptr, "recipient types"},
      {dialog->lpContRestriction != nullptr || dialog->lpHierRestriction != nullptr, "restrictions"},
  };
  for (const auto& [set, name] : others)
    if (set) text += std::string(" + ") + name;
  return text;
}

// The values of one chosen recipient, as a resolved entry has them.
HRESULT RecipientValues(const AddressEntry& entry, ADRENTRY& recipient) {
  PropertyBag properties = EntryProperties(entry);
  properties.SetLong(PR_RECIPIENT_TYPE, MAPI_TO);
  SizedSPropTagArray(5, tags) = {5,
                                 {PR_ENTRYID, PR_DISPLAY_NAME_A, PR_ADDRTYPE_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE}};
  const HRESULT hr = properties.GetProps(reinterpret_cast<LPSPropTagArray>(&tags), &recipient.cValues,
                                         &recipient.rgPropVals, "recipient from IAddrBook::Address");
  return FAILED(hr) ? hr : S_OK;
}

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
      if (entry->stale) return MAPI_E_NOT_FOUND;
      auto* user = new MailUser(*entry);
      const ULONG objectType = user->ObjectType();
      const HRESULT hr = user->HandOver(lpInterface, IID_IMailUser, reinterpret_cast<void**>(lppUnk));
      if (SUCCEEDED(hr) && lpulObjType != nullptr) *lpulObjType = objectType;
      return hr;
    });
  }

  // The modal address dialog. The chosen entries replace any list passed
  // in; a dialog that allows one entry keeps the first chosen.
  HRESULT STDMETHODCALLTYPE Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList) override {
    return Guarded("IAddrBook::Address", DescribeDialog(lpulUIParam, lpAdrParms), [&]() -> HRESULT {
      if (lpAdrParms == nullptr || lppAdrList == nullptr) return MAPI_E_INVALID_PARAMETER;
      if ((lpAdrParms->ulFlags & DIALOG_MODAL) == 0) return MAPI_E_NO_SUPPORT;
      const std::string caption = lpAdrParms->lpszCaption != nullptr ? lpAdrParms->lpszCaption : "Address Book";
      auto chosen = ChooseRecipients(*organisation_, caption);
      if (!chosen) return MAPI_E_USER_CANCEL;
      if ((lpAdrParms->ulFlags & ADDRESS_ONE) != 0 && chosen->size() > 1) chosen->resize(1);

      void* block = nullptr;
      const ULONG count = static_cast<ULONG>(chosen->size());
      if (const SCODE sc =
              AllocateBlock(static_cast<ULONG>(CbNewADRLIST(count)), &block, "address list from IAddrBook::Address");
          FAILED(sc))
        return sc;
      auto* list = static_cast<LPADRLIST>(block);
      list->cEntries = 0;
      ADRENTRY* entries = list->aEntries;
      for (ULONG i = 0; i < count; ++i) {
        entries[i] = ADRENTRY{};
        if (const HRESULT hr = RecipientValues(*(*chosen)[i], entries[i]); FAILED(hr)) {
          FreePadrlist(list);
          return hr;
        }
        list->cEntries = i + 1;
      }
      if (*lppAdrList != nullptr) FreePadrlist(*lppAdrList);
      *lppAdrList = list;
      return S_OK;
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

}  // namespace

HRESULT NewAddressBook(std::shared_ptr<const Organisation> organisation, const IID* iface, LPADRBOOK* book) {
  return (new AddressBook(std::move(organisation)))->HandOver(iface, IID_IAddrBook, reinterpret_cast<void**>(book));
}

}  // namespace emulation
