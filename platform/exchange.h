// Exchange's additions to MAPI that the tool uses. The platform documents
// them (edkmdb.h, emsabtag.h) but neither the emulation's MAPI nor the
// mingw-w64 headers carry them, so they are declared here for both.
#pragma once

#define PR_EMS_AB_HOME_MDB_A PROP_TAG(PT_STRING8, 0x8006)
#define PR_EMS_AB_PROXY_ADDRESSES_A PROP_TAG(PT_MV_STRING8, 0x800F)

#define OPENSTORE_USE_ADMIN_PRIVILEGE 0x00000001
#define OPENSTORE_PUBLIC 0x00000002
#define OPENSTORE_HOME_LOGON 0x00000004
#define OPENSTORE_TAKE_OWNERSHIP 0x00000008

extern "C" const IID IID_IExchangeManageStore;

struct IExchangeManageStore : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateStoreEntryID(LPSTR lpszMsgStoreDN, LPSTR lpszMailboxDN, ULONG ulFlags,
                                                       ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE EntryIDFromSourceKey(ULONG cFolderKeySize, BYTE* lpFolderSourceKey,
                                                         ULONG cMessageKeySize, BYTE* lpMessageSourceKey,
                                                         ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRights(ULONG cbUserEntryID, LPENTRYID lpUserEntryID, ULONG cbEntryID,
                                              LPENTRYID lpEntryID, ULONG* lpulRights) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMailboxTable(LPSTR lpszServerName, LPMAPITABLE* lppTable, ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPublicFolderTable(LPSTR lpszServerName, LPMAPITABLE* lppTable,
                                                         ULONG ulFlags) = 0;
};
typedef IExchangeManageStore* LPEXCHANGEMANAGESTORE;
