#include "messaging/picker.h"

#include "platform/console.h"

namespace {

constexpr ULONG kAddressDialogFlags = DIALOG_MODAL | AB_RESOLVE;  // 0x00000021: several entries may be chosen

const SizedSPropTagArray(kPickedMailboxValues, kPickedMailboxTags) = {
    kPickedMailboxValues, {PR_DISPLAY_NAME_A, PR_EMS_AB_HOME_MDB_A, PR_EMAIL_ADDRESS_A, PR_ENTRYID}};

const SPropValue* FindEntryId(const ADRENTRY& entry) {
  for (ULONG i = 0; i < entry.cValues; ++i)
    if (entry.rgPropVals[i].ulPropTag == PR_ENTRYID) return &entry.rgPropVals[i];
  return nullptr;
}

void ReleaseMailUser(LPMAILUSER& mailUser) {
  if (mailUser != nullptr) {
    mailUser->Release();
    mailUser = nullptr;
  }
}

}  // namespace

bool HasPickedMailboxTags(const SPropValue* values) {
  for (ULONG i = 0; i < kPickedMailboxValues; ++i)
    if (values[i].ulPropTag != kPickedMailboxTags.aulPropTag[i]) return false;
  return true;
}

HRESULT SelectMailboxes(LPADRBOOK addressBook, std::vector<PickedMailbox>& pickedList) {
  char caption[] = "Select Mailbox";
  char wellTitle[] = "Select";
  LPSTR wellTitles[] = {wellTitle};
  ADRPARM dialog = {};
  dialog.ulFlags = kAddressDialogFlags;
  dialog.lpszCaption = caption;
  dialog.cDestFields = 1;
  dialog.nDestFieldFocus = 0;
  dialog.lppszDestTitles = wellTitles;

  LPADRLIST addresses = nullptr;
  LPMAILUSER mailUser = nullptr;
  HRESULT result = E_FAIL;
  try {
    ULONG_PTR window = reinterpret_cast<ULONG_PTR>(GetDesktopWindow());
    result = addressBook->Address(&window, &dialog, &addresses);
    if (FAILED(result)) {
      ConsolePrintf("Display GAL failed (%08lx)\n", result);
    } else if (addresses == nullptr) {
      ConsolePrintf("No addresses returned\n");
    } else {
      const ADRENTRY* entries = addresses->aEntries;
      for (ULONG i = 0; i < addresses->cEntries; ++i) {
        ReleaseMailUser(mailUser);
        const SPropValue* entryId = FindEntryId(entries[i]);
        if (entryId == nullptr) continue;
        // A failure skips this entry only: it does not become the result,
        // so that which mailboxes are tested does not depend on the order
        // of the picks.
        ULONG objectType = 0;
        HRESULT hr = addressBook->OpenEntry(entryId->Value.bin.cb, reinterpret_cast<LPENTRYID>(entryId->Value.bin.lpb),
                                            &IID_IMAPIProp, 0, &objectType, reinterpret_cast<LPUNKNOWN*>(&mailUser));
        if (FAILED(hr)) {
          ConsolePrintf("OpenEntry failed for user chosen from Address Book (%08lx)\n", hr);
          continue;
        }
        result = hr;
        ULONG valueCount = 0;
        LPSPropValue values = nullptr;
        hr =
            mailUser->GetProps(const_cast<LPSPropTagArray>(reinterpret_cast<const SPropTagArray*>(&kPickedMailboxTags)),
                               0, &valueCount, &values);
        if (FAILED(hr)) {
          ConsolePrintf("GetProps failed (%08lx)\n", hr);
          continue;
        }
        result = hr;
        // An entry that lacks one of the properties has it error-typed.
        if (!HasPickedMailboxTags(values)) {
          MAPIFreeBuffer(values);
          continue;
        }
        try {
          pickedList.push_back(values);
        } catch (...) {
          MAPIFreeBuffer(values);
          throw;
        }
      }
    }
  } catch (...) {
    result = E_FAIL;
  }
  ReleaseMailUser(mailUser);
  if (addresses != nullptr) FreePadrlist(addresses);
  return result;
}
