#include "messaging/logon.h"

#include "messaging/smtp_address.h"
#include "platform/console.h"

namespace {

constexpr ULONG kLogonFlags = MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_NO_MAIL;  // 0x00008003

// Columns of the message-stores query, in this order.
enum StoreColumn : ULONG { kDefaultFlagColumn = 0, kEntryIdColumn = 1, kDisplayNameColumn = 2 };

bool IsDefaultStoreRow(const SRow& row) {
  const SPropValue& flag = row.lpProps[kDefaultFlagColumn];
  return flag.ulPropTag == PR_DEFAULT_STORE && flag.Value.b != 0;
}

// Opens the first store row marked as default. Returns false after printing
// the failure line.
bool OpenDefaultStore(RunState& state) {
  for (ULONG i = 0; i < state.storeRows->cRows; ++i) {
    const SRow& row = state.storeRows->aRow[i];
    if (!IsDefaultStoreRow(row)) continue;
    // A row whose entry ID came back as an error value is opened with an
    // empty one, which the store provider refuses.
    const SPropValue& entryIdValue = row.lpProps[kEntryIdColumn];
    const SBinary entryId = entryIdValue.ulPropTag == PR_ENTRYID ? entryIdValue.Value.bin : SBinary{0, nullptr};
    const HRESULT hr = state.mapiSession->OpenMsgStore(0, entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), nullptr,
                                                       MDB_WRITE, &state.defaultStore);
    if (FAILED(hr)) {
      ConsolePrintf("OpenMsgStore() for this profile failed (%08lx)\n", hr);
      return false;
    }
    // A store row without a display name carries an error value there.
    const SPropValue& name = row.lpProps[kDisplayNameColumn];
    const char* displayName = name.ulPropTag == PR_DISPLAY_NAME_A ? name.Value.lpszA : nullptr;
    ConsolePrintf("Opening Default Message Store %s\n", displayName);
    return true;
  }
  ConsolePrintf("Could not find default message store for profile chosen\n");
  return false;
}

}  // namespace

bool ReadOperatorEmail(LPMAILUSER identityUser, LPSPropValue* email, HRESULT* status) {
  *status = HrGetOneProp(identityUser, PR_EMAIL_ADDRESS_A, email);
  if (FAILED(*status)) return false;
  // A success without any value lets the start-up go on.
  return *email == nullptr || (*email)->ulPropTag == PR_EMAIL_ADDRESS_A;
}

bool LogonAndIdentifyOperator(RunState& state) {
  MAPIINIT_0 init = {0, 0};  // no multithreaded notifications
  HRESULT hr = MAPIInitialize(&init);
  if (FAILED(hr)) {
    ConsolePrintf("MAPIInitialize() failed (%08lx)\n", hr);
    return false;
  }

  hr = MAPILogonEx(0, nullptr, nullptr, kLogonFlags, &state.mapiSession);
  if (FAILED(hr)) {
    ConsolePrintf("MAPILogonEx() failed (%08lx)\n", hr);
    return false;
  }

  hr = state.mapiSession->GetMsgStoresTable(0, &state.storesTable);
  if (FAILED(hr)) {
    ConsolePrintf("GetMsgStoresTable() failed (%08lx)\n", hr);
    return false;
  }

  SizedSPropTagArray(3, storeColumns) = {3, {PR_DEFAULT_STORE, PR_ENTRYID, PR_DISPLAY_NAME_A}};
  hr = HrQueryAllRows(state.storesTable, reinterpret_cast<LPSPropTagArray>(&storeColumns), nullptr, nullptr, 0,
                      &state.storeRows);
  if (FAILED(hr)) {
    ConsolePrintf("HrQueryAllRows() failed (%08lx)\n", hr);
    return false;
  }

  if (!OpenDefaultStore(state)) return false;

  hr = state.defaultStore->QueryInterface(IID_IExchangeManageStore, reinterpret_cast<void**>(&state.manageStore));
  if (FAILED(hr)) {
    ConsolePrintf("QueryInterface() failed (%08lx)\n", hr);
    return false;
  }

  hr = state.mapiSession->OpenAddressBook(0, nullptr, 0, &state.addressBook);
  if (FAILED(hr)) {
    ConsolePrintf("OpenAddressBook() failed (%08lx)\n", hr);
    return false;
  }

  // The directory is reached only once the logon and the address book are up.
  hr = state.directory->Open();
  if (hr != S_OK) {
    ConsolePrintf("Failed to open Active Directory (%08lx)\n", hr);
    return false;
  }

  hr = state.mapiSession->QueryIdentity(&state.identityEntryIdSize, &state.identityEntryId);
  if (FAILED(hr)) {
    ConsolePrintf("QueryIdentity() failed (%08lx)\n", hr);
    return false;
  }

  // The mail user is used only through IMAPIProp, and is asked for as such.
  ULONG objectType = 0;
  hr = state.addressBook->OpenEntry(state.identityEntryIdSize, state.identityEntryId, &IID_IMAPIProp, 0, &objectType,
                                    reinterpret_cast<LPUNKNOWN*>(&state.identityUser));
  if (FAILED(hr)) {
    ConsolePrintf("OpenEntry failed for the current profile (%08lx)\n", hr);
    return false;
  }

  if (!ReadOperatorEmail(state.identityUser, &state.identityEmail, &hr)) {
    ConsolePrintf("QueryIdentity() failed (%08lx)\n", hr);
    return false;
  }

  hr = ResolveSmtpAddress(state.addressBook, state.identityEntryIdSize, reinterpret_cast<LPBYTE>(state.identityEntryId),
                          "SMTP", &state.smtpAddress);
  if (hr != S_OK) {
    ConsolePrintf("Resolving SMTP address failed (%08lx)\n", hr);
    return false;
  }
  return true;
}
