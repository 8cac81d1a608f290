#include "driver/run_state.h"

#include <cstddef>

namespace {

// The store rows go back through the address-list release, which frees each
// entry's values and then the list: a row set is laid out as an address list.
static_assert(sizeof(SRow) == sizeof(ADRENTRY) && offsetof(SRow, cValues) == offsetof(ADRENTRY, cValues) &&
              offsetof(SRow, lpProps) == offsetof(ADRENTRY, rgPropVals) &&
              offsetof(SRowSet, cRows) == offsetof(ADRLIST, cEntries) &&
              offsetof(SRowSet, aRow) == offsetof(ADRLIST, aEntries));

template <typename T>
void ReleaseInterface(T*& object) {
  if (object != nullptr) {
    object->Release();
    object = nullptr;
  }
}

template <typename T>
void FreeMapiBuffer(T*& buffer) {
  if (buffer != nullptr) {
    MAPIFreeBuffer(buffer);
    buffer = nullptr;
  }
}

// Gives back the storage of a list whose elements are already released.
template <typename List>
void DestroyStorage(List& list) {
  List().swap(list);
}

}  // namespace

void ReleaseRunState(RunState& state) {
  // 1. Picked rows, front to back.
  while (!state.pickedMailboxes.empty()) {
    MAPIFreeBuffer(state.pickedMailboxes.front());
    state.pickedMailboxes.erase(state.pickedMailboxes.begin());
  }
  // 2. to 8. The MAPI interfaces and the store rows.
  ReleaseInterface(state.identityUser);
  ReleaseInterface(state.addressBook);
  ReleaseInterface(state.manageStore);
  ReleaseInterface(state.defaultStore);
  if (state.storeRows != nullptr) {
    FreePadrlist(reinterpret_cast<LPADRLIST>(state.storeRows));
    state.storeRows = nullptr;
  }
  ReleaseInterface(state.storesTable);
  ReleaseInterface(state.mapiSession);  // without Logoff
  // 9. to 11. The operator's entry ID, SMTP address and e-mail value.
  FreeMapiBuffer(state.identityEntryId);
  state.identityEntryIdSize = 0;
  delete[] state.smtpAddress;
  state.smtpAddress = nullptr;
  FreeMapiBuffer(state.identityEmail);
  // 12. and 13. The operator's directory object and account names.
  ReleaseInterface(state.operatorUser);
  while (!state.accountNames.empty()) {
    SysFreeString(state.accountNames.front());
    state.accountNames.erase(state.accountNames.begin());
  }
  // 14. to 16. The directory: closed, list storage given back, destroyed
  // while MAPI (and with it COM) is still up.
  if (state.directory) state.directory->Close();
  DestroyStorage(state.pickedMailboxes);
  DestroyStorage(state.accountNames);
  state.directory.reset();
  // 17. Last, on every path that got this far, also after a failed
  // MAPIInitialize.
  MAPIUninitialize();
}
