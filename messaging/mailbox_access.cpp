#include "messaging/mailbox_access.h"

#include "platform/console.h"

namespace {

constexpr ULONG kStoreEntryIdFlags = OPENSTORE_USE_ADMIN_PRIVILEGE | OPENSTORE_TAKE_OWNERSHIP;  // 0x00000009
constexpr ULONG kMailboxOpenFlags = MDB_NO_DIALOG | MDB_WRITE | MDB_TEMPORARY | MDB_NO_MAIL;    // 0x000000A5
// DEL_FOLDERS with bit 0x1 (DEL_MESSAGES) also set.
constexpr ULONG kDeleteFlags = DEL_FOLDERS | DEL_MESSAGES;  // 0x00000005

// What the probe holds, released in the fixed order of Release().
struct Acquired {
  ULONG storeEntryIdSize = 0;
  LPENTRYID storeEntryId = nullptr;
  LPMDB mailbox = nullptr;
  LPMAPIFOLDER rootFolder = nullptr;
  LPMAPIFOLDER testFolder = nullptr;
  LPSPropValue testFolderEntryId = nullptr;

  void Release() {
    if (testFolderEntryId != nullptr) MAPIFreeBuffer(testFolderEntryId);
    if (testFolder != nullptr) testFolder->Release();
    if (rootFolder != nullptr) rootFolder->Release();
    if (mailbox != nullptr) mailbox->Release();
    if (storeEntryId != nullptr) MAPIFreeBuffer(storeEntryId);
    *this = Acquired();
  }
};

// The steps up to the deletion; returns at the first failure, after its
// line.
void RunProbe(LPMAPISESSION session, LPEXCHANGEMANAGESTORE manageStore, const char* displayName, LPSTR homeMdbDn,
              LPSTR mailboxDn, Acquired& held) {
  ConsolePrintf("%s: Opening message store using \n\t%s\n\t%s\n", displayName, mailboxDn, homeMdbDn);

  HRESULT hr = manageStore->CreateStoreEntryID(homeMdbDn, mailboxDn, kStoreEntryIdFlags, &held.storeEntryIdSize,
                                               &held.storeEntryId);
  if (FAILED(hr)) {
    ConsolePrintf("CreateStoreEntryID failed (%08lx)\n", hr);
    return;
  }

  hr = session->OpenMsgStore(0, held.storeEntryIdSize, held.storeEntryId, nullptr, kMailboxOpenFlags, &held.mailbox);
  if (FAILED(hr)) {
    ConsolePrintf("%s: OpenMsgStore failed (%08lx)\n", displayName, hr);
    return;
  }
  ConsolePrintf("%s: Mailbox opened successfully\n", displayName);

  // An empty entry ID names the store's root folder.
  ULONG objectType = 0;
  hr = held.mailbox->OpenEntry(0, nullptr, nullptr, MAPI_BEST_ACCESS, &objectType,
                               reinterpret_cast<LPUNKNOWN*>(&held.rootFolder));
  if (FAILED(hr)) {
    ConsolePrintf("%s: Open Root Folder failed (%08lx)\n", displayName, hr);
    return;
  }
  ConsolePrintf("%s: Root Folder opened successfully\n", displayName);

  // A folder of that name left by an earlier run is opened instead.
  char folderName[] = "Tamberlyn Test Folder";
  hr = held.rootFolder->CreateFolder(FOLDER_GENERIC, folderName, nullptr, nullptr, OPEN_IF_EXISTS, &held.testFolder);
  if (FAILED(hr)) {
    ConsolePrintf("%s: Failed to create a folder in mailbox\n", displayName);
    return;
  }
  ConsolePrintf("%s: Folder created successfully\n", displayName);

  hr = HrGetOneProp(held.testFolder, PR_ENTRYID, &held.testFolderEntryId);
  if (FAILED(hr)) {
    ConsolePrintf("%s: Failed to get EntryID for created folder (%08lx)\n", displayName, hr);
    return;
  }

  // The test folder is still held while its parent deletes it.
  const SBinary& entryId = held.testFolderEntryId->Value.bin;
  hr = held.rootFolder->DeleteFolder(entryId.cb, reinterpret_cast<LPENTRYID>(entryId.lpb), 0, nullptr, kDeleteFlags);
  if (FAILED(hr)) {
    ConsolePrintf("%s: Failed to delete test folder, (%08lx)\n", displayName, hr);
    return;
  }
  ConsolePrintf("%s: Test folder deleted successfully\n", displayName);
  ConsolePrintf("%s: MAPI test completed successfully\n", displayName);
}

}  // namespace

void ProbeMailboxAccess(LPMAPISESSION session, LPEXCHANGEMANAGESTORE manageStore, const SPropValue* row) {
  Acquired held;
  RunProbe(session, manageStore, row[kDisplayNameValue].Value.lpszA, row[kHomeMdbValue].Value.lpszA,
           row[kMailboxDnValue].Value.lpszA, held);
  held.Release();
}
