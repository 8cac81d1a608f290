// Extended MAPI of the emulated platform: the structures, property tags,
// status codes, interfaces and functions that the tool uses, with the
// platform's names, layouts and values. Every interface is declared whole,
// each method in the platform's order with its signature.
#pragma once

// Built for Windows, the emulation compiles against the SDK itself.
#ifdef _WIN32
#include "platform/windows/sdk.h"
#else

#include "platform/emulation/com/com.h"

#define MAPI_DIM 1
#define MAPIMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method

// Status codes.
#define MAKE_MAPI_E(err) ((SCODE)(0x80040000UL | (err)))
#define MAKE_MAPI_S(warn) ((SCODE)(0x00040000UL | (warn)))
#define SUCCESS_SUCCESS 0
#define MAPI_E_CALL_FAILED E_FAIL
#define MAPI_E_NOT_ENOUGH_MEMORY E_OUTOFMEMORY
#define MAPI_E_INVALID_PARAMETER E_INVALIDARG
#define MAPI_E_INTERFACE_NOT_SUPPORTED E_NOINTERFACE
#define MAPI_E_NO_ACCESS E_ACCESSDENIED
#define MAPI_E_NO_SUPPORT MAKE_MAPI_E(0x102)
#define MAPI_E_INVALID_ENTRYID MAKE_MAPI_E(0x107)
#define MAPI_E_NOT_FOUND MAKE_MAPI_E(0x10F)
#define MAPI_E_LOGON_FAILED MAKE_MAPI_E(0x111)
#define MAPI_E_USER_CANCEL MAKE_MAPI_E(0x113)
#define MAPI_E_CORRUPT_DATA MAKE_MAPI_E(0x11B)
#define MAPI_E_END_OF_SESSION MAKE_MAPI_E(0x200)
#define MAPI_E_UNKNOWN_ENTRYID MAKE_MAPI_E(0x201)
#define MAPI_E_NETWORK_ERROR MAKE_MAPI_E(0x115)
#define MAPI_E_COLLISION MAKE_MAPI_E(0x604)
#define MAPI_E_NOT_INITIALIZED MAKE_MAPI_E(0x605)
#define MAPI_E_HAS_FOLDERS MAKE_MAPI_E(0x609)
#define MAPI_W_ERRORS_RETURNED MAKE_MAPI_S(0x380)

// Property types and tags.
#define PT_UNSPECIFIED 0x0000
#define PT_NULL 0x0001
#define PT_I2 0x0002
#define PT_LONG 0x0003
#define PT_BOOLEAN 0x000B
#define PT_ERROR 0x000A
#define PT_STRING8 0x001E
#define PT_UNICODE 0x001F
#define PT_BINARY 0x0102
#define MV_FLAG 0x1000
#define PT_MV_STRING8 (MV_FLAG | PT_STRING8)

#define PROP_TYPE_MASK 0x0000FFFFUL
#define PROP_TYPE(ulPropTag) (((ULONG)(ulPropTag)) & PROP_TYPE_MASK)
#define PROP_ID(ulPropTag) (((ULONG)(ulPropTag)) >> 16)
#define PROP_TAG(ulPropType, ulPropID) ((((ULONG)(ulPropID)) << 16) | ((ULONG)(ulPropType)))
#define CHANGE_PROP_TYPE(ulPropTag, ulPropType) (((ULONG)0xFFFF0000UL & (ULONG)(ulPropTag)) | (ULONG)(ulPropType))

#define PR_ENTRYID PROP_TAG(PT_BINARY, 0x0FFF)
#define PR_RECIPIENT_TYPE PROP_TAG(PT_LONG, 0x0C15)
#define PR_DISPLAY_NAME_A PROP_TAG(PT_STRING8, 0x3001)
#define PR_ADDRTYPE_A PROP_TAG(PT_STRING8, 0x3002)
#define PR_EMAIL_ADDRESS_A PROP_TAG(PT_STRING8, 0x3003)
#define PR_DEFAULT_STORE PROP_TAG(PT_BOOLEAN, 0x3400)

// Flags.
#define MAPI_LOGON_UI 0x00000001
#define MAPI_NEW_SESSION 0x00000002
#define MAPI_NO_MAIL 0x00008000
#define MAPI_UNICODE 0x80000000
#define MDB_NO_DIALOG 0x00000001
#define MDB_WRITE 0x00000004
#define MAPI_MODIFY 0x00000001
#define MAPI_BEST_ACCESS 0x00000010
#define MDB_TEMPORARY 0x00000020
#define MDB_NO_MAIL 0x00000080
#define FOLDER_GENERIC 0x00000001
#define OPEN_IF_EXISTS 0x00000001
#define DEL_MESSAGES 0x00000001
#define DEL_FOLDERS 0x00000004
#define DIALOG_MODAL 0x00000001
#define AB_RESOLVE 0x00000020
#define ADDRESS_ONE 0x00000008
#define MAPI_TO 1

#define MAPI_STORE 0x00000001
#define MAPI_ADDRBOOK 0x00000002
#define MAPI_FOLDER 0x00000003
#define MAPI_MAILUSER 0x00000006
#define MAPI_DISTLIST 0x00000008

typedef struct {
  BYTE abFlags[4];
  BYTE ab[MAPI_DIM];
} ENTRYID, *LPENTRYID;

typedef struct _MAPIUID {
  BYTE ab[16];
} MAPIUID, *LPMAPIUID;

typedef struct _SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[MAPI_DIM];
} SPropTagArray, *LPSPropTagArray;

#define CbNewSPropTagArray(_ctag) (offsetof(SPropTagArray, aulPropTag) + (_ctag) * sizeof(ULONG))
#define SizedSPropTagArray(_ctag, _name) \
  struct _SPropTagArray_##_name {        \
    ULONG cValues;                       \
    ULONG aulPropTag[_ctag];             \
  } _name

typedef struct _SBinary {
  ULONG cb;
  LPBYTE lpb;
} SBinary, *LPSBinary;

typedef struct _SBinaryArray {
  ULONG cValues;
  SBinary* lpbin;
} SBinaryArray;

typedef struct _SLPSTRArray {
  ULONG cValues;
  LPSTR* lppszA;
} SLPSTRArray;

typedef union _PV {
  short int i;
  LONG l;
  ULONG ul;
  float flt;
  double dbl;
  unsigned short int b;
  double at;
  FILETIME ft;
  LPSTR lpszA;
  SBinary bin;
  LPWSTR lpszW;
  LPGUID lpguid;
  LARGE_INTEGER li;
  SLPSTRArray MVszA;
  SCODE err;
  LONG x;
} __UPV;

typedef struct _SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  union _PV Value;
} SPropValue, *LPSPropValue;

typedef struct _ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  LPSPropValue rgPropVals;
} ADRENTRY, *LPADRENTRY;

typedef struct _ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[MAPI_DIM];
} ADRLIST, *LPADRLIST;

#define CbNewADRLIST(_centries) (offsetof(ADRLIST, aEntries) + (_centries) * sizeof(ADRENTRY))

typedef struct _SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
} SRow, *LPSRow;

typedef struct _SRowSet {
  ULONG cRows;
  SRow aRow[MAPI_DIM];
} SRowSet, *LPSRowSet;

#define CbNewSRowSet(_crow) (offsetof(SRowSet, aRow) + (_crow) * sizeof(SRow))

typedef struct _SRestriction SRestriction, *LPSRestriction;
typedef struct _SSortOrderSet SSortOrderSet, *LPSSortOrderSet;

typedef struct {
  ULONG ulVersion;
  ULONG ulFlags;
} MAPIINIT_0, *LPMAPIINIT_0;

typedef SCODE(STDMETHODCALLTYPE ALLOCATEBUFFER)(ULONG cbSize, LPVOID* lppBuffer);
typedef SCODE(STDMETHODCALLTYPE ALLOCATEMORE)(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
typedef ULONG(STDAPICALLTYPE FREEBUFFER)(LPVOID lpBuffer);
typedef ALLOCATEBUFFER* LPALLOCATEBUFFER;
typedef ALLOCATEMORE* LPALLOCATEMORE;

extern "C" const IID IID_IMAPISession;
extern "C" const IID IID_IMAPITable;
extern "C" const IID IID_IMAPIProp;
extern "C" const IID IID_IMsgStore;
extern "C" const IID IID_IAddrBook;
extern "C" const IID IID_IMailUser;
extern "C" const IID IID_IMAPIContainer;
extern "C" const IID IID_IMAPIFolder;

// Types that whole interfaces name but the emulation does not serve.
struct IMAPIAdviseSink;
struct IMAPIProgress;
struct IMessage;
struct IProfSect;
struct IProviderAdmin;
struct IMsgServiceAdmin;
typedef IMAPIAdviseSink* LPMAPIADVISESINK;
typedef IMAPIProgress* LPMAPIPROGRESS;
typedef IMessage* LPMESSAGE;
typedef IProfSect* LPPROFSECT;
typedef IMsgServiceAdmin* LPSERVICEADMIN;
typedef struct _MAPIERROR MAPIERROR, *LPMAPIERROR;
typedef struct _SPropProblemArray SPropProblemArray, *LPSPropProblemArray;
typedef struct _MAPINAMEID MAPINAMEID, *LPMAPINAMEID;
typedef struct _NOTIFICATION NOTIFICATION, *LPNOTIFICATION;
typedef SBinaryArray ENTRYLIST, *LPENTRYLIST;
typedef ULONG_PTR BOOKMARK;
typedef void(STDMETHODCALLTYPE DISMISSMODELESS)(ULONG_PTR ulUIParam, LPVOID lpvContext);
typedef DISMISSMODELESS* LPFNDISMISS;
typedef SCODE(STDMETHODCALLTYPE* LPFNABSDI)(ULONG_PTR ulUIParam, LPVOID lpvmsg);
typedef SCODE(STDMETHODCALLTYPE* LPFNBUTTON)(ULONG_PTR ulUIParam, LPVOID lpvContext, ULONG cbEntryID,
                                             LPENTRYID lpSelection, ULONG ulFlags);

typedef struct _ADRPARM {
  ULONG cbABContEntryID;
  LPENTRYID lpABContEntryID;
  ULONG ulFlags;
  LPVOID lpReserved;
  ULONG ulHelpContext;
  LPSTR lpszHelpFileName;
  LPFNABSDI lpfnABSDI;
  LPFNDISMISS lpfnDismiss;
  LPVOID lpvDismissContext;
  LPSTR lpszCaption;
  LPSTR lpszNewEntryTitle;
  LPSTR lpszDestWellsTitle;
  ULONG cDestFields;
  ULONG nDestFieldFocus;
  LPSTR* lppszDestTitles;
  ULONG* lpulDestComps;
  LPSRestriction lpContRestriction;
  LPSRestriction lpHierRestriction;
} ADRPARM, *LPADRPARM;

struct IMAPIProp : public IUnknown {
  MAPIMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
  MAPIMETHOD(SaveChanges)(ULONG ulFlags) = 0;
  MAPIMETHOD(GetProps)(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppPropArray) = 0;
  MAPIMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) = 0;
  MAPIMETHOD(OpenProperty)
  (ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN* lppUnk) = 0;
  MAPIMETHOD(SetProps)(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) = 0;
  MAPIMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) = 0;
  MAPIMETHOD(CopyTo)
  (ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
   LPSPropProblemArray* lppProblems) = 0;
  MAPIMETHOD(CopyProps)
  (LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj,
   ULONG ulFlags, LPSPropProblemArray* lppProblems) = 0;
  MAPIMETHOD(GetNamesFromIDs)
  (LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG* lpcPropNames,
   LPMAPINAMEID** lpppPropNames) = 0;
  MAPIMETHOD(GetIDsFromNames)
  (ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags, LPSPropTagArray* lppPropTags) = 0;
};
typedef IMAPIProp* LPMAPIPROP;

struct IMAPITable : public IUnknown {
  MAPIMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
  MAPIMETHOD(Advise)(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) = 0;
  MAPIMETHOD(Unadvise)(ULONG ulConnection) = 0;
  MAPIMETHOD(GetStatus)(ULONG* lpulTableStatus, ULONG* lpulTableType) = 0;
  MAPIMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
  MAPIMETHOD(QueryColumns)(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) = 0;
  MAPIMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) = 0;
  MAPIMETHOD(SeekRow)(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
  MAPIMETHOD(SeekRowApprox)(ULONG ulNumerator, ULONG ulDenominator) = 0;
  MAPIMETHOD(QueryPosition)(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) = 0;
  MAPIMETHOD(FindRow)(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) = 0;
  MAPIMETHOD(Restrict)(LPSRestriction lpRestriction, ULONG ulFlags) = 0;
  MAPIMETHOD(CreateBookmark)(BOOKMARK* lpbkPosition) = 0;
  MAPIMETHOD(FreeBookmark)(BOOKMARK bkPosition) = 0;
  MAPIMETHOD(SortTable)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
  MAPIMETHOD(QuerySortOrder)(LPSSortOrderSet* lppSortCriteria) = 0;
  MAPIMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;
  MAPIMETHOD(Abort)() = 0;
  MAPIMETHOD(ExpandRow)
  (ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags, LPSRowSet* lppRows,
   ULONG* lpulMoreRows) = 0;
  MAPIMETHOD(CollapseRow)(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags, ULONG* lpulRowCount) = 0;
  MAPIMETHOD(WaitForCompletion)(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) = 0;
  MAPIMETHOD(GetCollapseState)
  (ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey, ULONG* lpcbCollapseState, LPBYTE* lppbCollapseState) = 0;
  MAPIMETHOD(SetCollapseState)
  (ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState, BOOKMARK* lpbkLocation) = 0;
};
typedef IMAPITable* LPMAPITABLE;

struct IMAPIContainer : public IMAPIProp {
  MAPIMETHOD(GetContentsTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  MAPIMETHOD(GetHierarchyTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  MAPIMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
  MAPIMETHOD(SetSearchCriteria)(LPSRestriction lpRestriction, LPENTRYLIST lpContainerList, ULONG ulSearchFlags) = 0;
  MAPIMETHOD(GetSearchCriteria)
  (ULONG ulFlags, LPSRestriction* lppRestriction, LPENTRYLIST* lppContainerList, ULONG* lpulSearchState) = 0;
};
typedef IMAPIContainer* LPMAPICONTAINER;

struct IMAPIFolder;
typedef IMAPIFolder* LPMAPIFOLDER;

struct IMAPIFolder : public IMAPIContainer {
  MAPIMETHOD(CreateMessage)(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) = 0;
  MAPIMETHOD(CopyMessages)
  (LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
   ULONG ulFlags) = 0;
  MAPIMETHOD(DeleteMessages)
  (LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
  MAPIMETHOD(CreateFolder)
  (ULONG ulFolderType, LPSTR lpszFolderName, LPSTR lpszFolderComment, LPCIID lpInterface, ULONG ulFlags,
   LPMAPIFOLDER* lppFolder) = 0;
  MAPIMETHOD(CopyFolder)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder, LPSTR lpszNewFolderName,
   ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
  MAPIMETHOD(DeleteFolder)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
  MAPIMETHOD(SetReadFlags)
  (LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
  MAPIMETHOD(GetMessageStatus)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG* lpulMessageStatus) = 0;
  MAPIMETHOD(SetMessageStatus)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask, ULONG* lpulOldStatus) = 0;
  MAPIMETHOD(SaveContentsSort)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
  MAPIMETHOD(EmptyFolder)(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
};

struct IMsgStore : public IMAPIProp {
  MAPIMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) = 0;
  MAPIMETHOD(Unadvise)(ULONG ulConnection) = 0;
  MAPIMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) = 0;
  MAPIMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
  MAPIMETHOD(SetReceiveFolder)(LPSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  MAPIMETHOD(GetReceiveFolder)
  (LPSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID, LPSTR* lppszExplicitClass) = 0;
  MAPIMETHOD(GetReceiveFolderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  MAPIMETHOD(StoreLogoff)(ULONG* lpulFlags) = 0;
  MAPIMETHOD(AbortSubmit)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) = 0;
  MAPIMETHOD(GetOutgoingQueue)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  MAPIMETHOD(SetLockState)(LPMESSAGE lpMessage, ULONG ulLockState) = 0;
  MAPIMETHOD(FinishedMsg)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  MAPIMETHOD(NotifyNewMail)(LPNOTIFICATION lpNotification) = 0;
};
typedef IMsgStore* LPMDB;

struct IMailUser : public IMAPIProp {};
typedef IMailUser* LPMAILUSER;

struct IAddrBook : public IMAPIProp {
  MAPIMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
  MAPIMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) = 0;
  MAPIMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) = 0;
  MAPIMETHOD(Unadvise)(ULONG ulConnection) = 0;
  MAPIMETHOD(CreateOneOff)
  (LPSTR lpszName, LPSTR lpszAdrType, LPSTR lpszAddress, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  MAPIMETHOD(NewEntry)
  (ULONG_PTR ulUIParam, ULONG ulFlags, ULONG cbEIDContainer, LPENTRYID lpEIDContainer, ULONG cbEIDNewEntryTpl,
   LPENTRYID lpEIDNewEntryTpl, ULONG* lpcbEIDNewEntry, LPENTRYID* lppEIDNewEntry) = 0;
  MAPIMETHOD(ResolveName)(ULONG_PTR ulUIParam, ULONG ulFlags, LPSTR lpszNewEntryTitle, LPADRLIST lpAdrList) = 0;
  MAPIMETHOD(Address)(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList) = 0;
  MAPIMETHOD(Details)
  (ULONG_PTR* lpulUIParam, LPFNDISMISS lpfnDismiss, LPVOID lpvDismissContext, ULONG cbEntryID, LPENTRYID lpEntryID,
   LPFNBUTTON lpfButtonCallback, LPVOID lpvButtonContext, LPSTR lpszButtonText, ULONG ulFlags) = 0;
  MAPIMETHOD(RecipOptions)(ULONG_PTR ulUIParam, ULONG ulFlags, LPADRENTRY lpRecip) = 0;
  MAPIMETHOD(QueryDefaultRecipOpt)
  (LPSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppOptions) = 0;
  MAPIMETHOD(GetPAB)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  MAPIMETHOD(SetPAB)(ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  MAPIMETHOD(GetDefaultDir)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  MAPIMETHOD(SetDefaultDir)(ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  MAPIMETHOD(GetSearchPath)(ULONG ulFlags, LPSRowSet* lppSearchPath) = 0;
  MAPIMETHOD(SetSearchPath)(ULONG ulFlags, LPSRowSet lpSearchPath) = 0;
  MAPIMETHOD(PrepareRecips)(ULONG ulFlags, LPSPropTagArray lpPropTagArray, LPADRLIST lpRecipList) = 0;
};
typedef IAddrBook* LPADRBOOK;

struct IMAPISession : public IUnknown {
  MAPIMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
  MAPIMETHOD(GetMsgStoresTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  MAPIMETHOD(OpenMsgStore)
  (ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, LPMDB* lppMDB) = 0;
  MAPIMETHOD(OpenAddressBook)(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags, LPADRBOOK* lppAdrBook) = 0;
  MAPIMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) = 0;
  MAPIMETHOD(GetStatusTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  MAPIMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
  MAPIMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) = 0;
  MAPIMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) = 0;
  MAPIMETHOD(Unadvise)(ULONG ulConnection) = 0;
  MAPIMETHOD(MessageOptions)(ULONG_PTR ulUIParam, ULONG ulFlags, LPSTR lpszAdrType, LPMESSAGE lpMessage) = 0;
  MAPIMETHOD(QueryDefaultMessageOpt)
  (LPSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppOptions) = 0;
  MAPIMETHOD(EnumAdrTypes)(ULONG ulFlags, ULONG* lpcAdrTypes, LPSTR** lpppszAdrTypes) = 0;
  MAPIMETHOD(QueryIdentity)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  MAPIMETHOD(Logoff)(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) = 0;
  MAPIMETHOD(SetDefaultStore)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  MAPIMETHOD(AdminServices)(ULONG ulFlags, LPSERVICEADMIN* lppServiceAdmin) = 0;
  MAPIMETHOD(ShowForm)
  (ULONG_PTR ulUIParam, LPMDB lpMsgStore, LPMAPIFOLDER lpParentFolder, LPCIID lpInterface, ULONG ulMessageToken,
   LPMESSAGE lpMessageSent, ULONG ulFlags, ULONG ulMessageStatus, ULONG ulMessageFlags, ULONG ulAccess,
   LPSTR lpszMessageClass) = 0;
  MAPIMETHOD(PrepareForm)(LPCIID lpInterface, LPMESSAGE lpMessage, ULONG* lpulMessageToken) = 0;
};
typedef IMAPISession* LPMAPISESSION;

STDAPI MAPIInitialize(LPVOID lpMapiInit);
STDAPI_(void) MAPIUninitialize();
STDAPI MAPILogonEx(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, ULONG ulFlags,
                   LPMAPISESSION* lppSession);

STDAPI_(SCODE) MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);
STDAPI_(SCODE) MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer);

STDAPI HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                      LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows);
STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp);
STDAPI_(SCODE)
ScDupPropset(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer, LPSPropValue* lppPropArray);
STDAPI_(void) FreeProws(LPSRowSet lpRows);
STDAPI_(void) FreePadrlist(LPADRLIST lpAdrlist);

#endif  // _WIN32
