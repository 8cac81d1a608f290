// ADO of the emulated platform: the connection interfaces that the
// directory subsystem uses, with the platform's names and IIDs. The
// recordset, fields and field interfaces are declared whole, in the
// platform's order.
#pragma once

// Built for Windows, the emulation compiles against the SDK itself.
#ifdef _WIN32
#include "platform/windows/sdk.h"
#else

#include "platform/emulation/com/com.h"

enum ConnectOptionEnum { adConnectUnspecified = -1, adAsyncConnect = 0x10 };

extern "C" const CLSID CLSID_Connection;
extern "C" const IID IID_Connection15;
extern "C" const IID IID__Connection;

struct Properties;
typedef Properties ADOProperties;

struct _ADO : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Properties(ADOProperties** ppvObject) = 0;
};

struct _ADOCollection;
struct ADOErrors;
struct _Recordset;
typedef _Recordset _ADORecordset;

enum CursorLocationEnum { adUseNone = 1, adUseServer = 2, adUseClient = 3 };
enum ConnectModeEnum { adModeUnknown = 0, adModeRead = 1, adModeWrite = 2, adModeReadWrite = 3 };
enum IsolationLevelEnum { adXactUnspecified = -1, adXactChaos = 0x10, adXactReadCommitted = 0x1000 };
enum SchemaEnum { adSchemaProviderSpecific = -1 };

struct Connection15 : public _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR* pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR bstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* plTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG lTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG* plTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG lTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Execute(BSTR CommandText, VARIANT* RecordsAffected, LONG Options,
                                            _ADORecordset** ppiRset) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginTrans(LONG* TransactionLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE CommitTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE RollbackTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(BSTR ConnectionString, BSTR UserID, BSTR Password, LONG Options) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Errors(ADOErrors** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR* pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR bstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsolationLevel(IsolationLevelEnum* Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsolationLevel(IsolationLevelEnum Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG* plAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(LONG lAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum* plCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum lCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Mode(ConnectModeEnum* plMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Mode(ConnectModeEnum lMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Provider(BSTR* pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Provider(BSTR Provider) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG* plObjState) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenSchema(SchemaEnum Schema, VARIANT Restrictions, VARIANT SchemaID,
                                               _ADORecordset** pprset) = 0;
};

struct _Connection : public Connection15 {
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

extern "C" const CLSID CLSID_Recordset;
extern "C" const IID IID_Recordset15;
extern "C" const IID IID__Recordset;
extern "C" const IID IID_Fields15;
extern "C" const IID IID_Field20;

// The 64-bit platform's ADO takes positions and counts as 64-bit values.
typedef LONGLONG ADO_LONGPTR;

enum CursorTypeEnum {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};
enum LockTypeEnum {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4
};
enum CommandTypeEnum { adCmdUnspecified = -1, adCmdUnknown = 0x8, adCmdText = 0x1, adCmdTable = 0x2 };
enum ExecuteOptionEnum { adOptionUnspecified = -1 };
enum AffectEnum { adAffectCurrent = 1, adAffectGroup = 2, adAffectAll = 3, adAffectAllChapters = 4 };
enum ResyncEnum { adResyncUnderlyingValues = 1, adResyncAllValues = 2 };
enum PersistFormatEnum { adPersistADTG = 0, adPersistXML = 1 };
enum SeekEnum { adSeekFirstEQ = 0x1 };
enum StringFormatEnum { adClipString = 2 };
enum CompareEnum { adCompareLessThan = 0, adCompareEqual = 1, adCompareGreaterThan = 2 };
enum PositionEnum { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };
typedef ADO_LONGPTR PositionEnum_Param;
enum EditModeEnum { adEditNone = 0 };
enum CursorOptionEnum { adHoldRecords = 0x100 };
enum MarshalOptionsEnum { adMarshalAll = 0 };
enum SearchDirectionEnum { adSearchForward = 1, adSearchBackward = -1 };
enum DataTypeEnum { adEmpty = 0, adInteger = 3, adBSTR = 8, adVariant = 12, adWChar = 130 };
enum FieldAttributeEnum { adFldUnspecified = -1 };
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };

struct _ADOCollection : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* c) = 0;
  virtual HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
};

struct Field20 : public _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_ActualSize(ADO_LONGPTR* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefinedSize(ADO_LONGPTR* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(DataTypeEnum* pDataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT Val) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Precision(BYTE* pbPrecision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE* pbNumericScale) = 0;
  virtual HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT Data) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChunk(LONG Length, VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown** ppiDF) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown* piDF) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Precision(BYTE bPrecision) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE bScale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Type(DataTypeEnum DataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefinedSize(ADO_LONGPTR lSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(LONG lAttributes) = 0;
};

struct Field : public Field20 {
  virtual HRESULT STDMETHODCALLTYPE get_Status(LONG* pFStatus) = 0;
};

struct Fields15 : public _ADOCollection {
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Field** ppvObject) = 0;
};

struct Fields20 : public Fields15 {
  virtual HRESULT STDMETHODCALLTYPE _Append(BSTR Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize,
                                            FieldAttributeEnum Attrib) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(VARIANT Index) = 0;
};

struct Fields : public Fields20 {
  virtual HRESULT STDMETHODCALLTYPE Append(BSTR Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize,
                                           FieldAttributeEnum Attrib, VARIANT FieldValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE Update() = 0;
  virtual HRESULT STDMETHODCALLTYPE Resync(ResyncEnum ResyncValues) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
};

struct Recordset15 : public _ADO {
  virtual HRESULT STDMETHODCALLTYPE get_AbsolutePosition(PositionEnum_Param* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AbsolutePosition(PositionEnum_Param Position) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch* pconn) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT vConn) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* pb) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT* pvBookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT vBookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CacheSize(LONG* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CacheSize(LONG CacheSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorType(CursorTypeEnum* plCursorType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorType(CursorTypeEnum lCursorType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* pb) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fields(Fields** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LockType(LockTypeEnum* plLockType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LockType(LockTypeEnum lLockType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MaxRecords(ADO_LONGPTR* plMaxRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MaxRecords(ADO_LONGPTR lMaxRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RecordCount(ADO_LONGPTR* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Source(IDispatch* pcmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Source(BSTR bstrConn) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Source(VARIANT* pvSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddNew(VARIANT FieldList, VARIANT Values) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRows(LONG Rows, VARIANT Start, VARIANT Fields, VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE Move(ADO_LONGPTR NumRecords, VARIANT Start) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveNext() = 0;
  virtual HRESULT STDMETHODCALLTYPE MovePrevious() = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveFirst() = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveLast() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(VARIANT Source, VARIANT ActiveConnection, CursorTypeEnum CursorType,
                                         LockTypeEnum LockType, LONG Options) = 0;
  virtual HRESULT STDMETHODCALLTYPE Requery(LONG Options) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xResync(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE Update(VARIANT Fields, VARIANT Values) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AbsolutePage(PositionEnum_Param* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AbsolutePage(PositionEnum_Param Page) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EditMode(EditModeEnum* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Filter(VARIANT Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PageCount(ADO_LONGPTR* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PageSize(LONG* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PageSize(LONG PageSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Sort(BSTR* Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Sort(BSTR Criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(LONG* pl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG* plObjState) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xClone(_ADORecordset** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateBatch(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelBatch(AffectEnum AffectRecords) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum* plCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum lCursorLoc) = 0;
  virtual HRESULT STDMETHODCALLTYPE NextRecordset(VARIANT* RecordsAffected, _ADORecordset** ppiRs) = 0;
  virtual HRESULT STDMETHODCALLTYPE Supports(CursorOptionEnum CursorOptions, VARIANT_BOOL* pb) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Collect(VARIANT Index, VARIANT* pvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Collect(VARIANT Index, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MarshalOptions(MarshalOptionsEnum* peMarshal) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MarshalOptions(MarshalOptionsEnum eMarshal) = 0;
  virtual HRESULT STDMETHODCALLTYPE Find(BSTR Criteria, ADO_LONGPTR SkipRecords, SearchDirectionEnum SearchDirection,
                                         VARIANT Start) = 0;
};

struct Recordset20 : public Recordset15 {
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataSource(IUnknown** ppunkDataSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DataSource(IUnknown* punkDataSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xSave(BSTR FileName, PersistFormatEnum PersistFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveCommand(IDispatch** ppCmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_StayInSync(VARIANT_BOOL bStayInSync) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StayInSync(VARIANT_BOOL* pbStayInSync) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetString(StringFormatEnum StringFormat, LONG NumRows, BSTR ColumnDelimeter,
                                              BSTR RowDelimeter, BSTR NullExpr, BSTR* pRetString) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataMember(BSTR* pbstrDataMember) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DataMember(BSTR bstrDataMember) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareBookmarks(VARIANT Bookmark1, VARIANT Bookmark2, CompareEnum* pCompare) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(LockTypeEnum LockType, _ADORecordset** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE Resync(AffectEnum AffectRecords, ResyncEnum ResyncValues) = 0;
};

struct Recordset21 : public Recordset20 {
  virtual HRESULT STDMETHODCALLTYPE Seek(VARIANT KeyValues, SeekEnum SeekOption) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Index(BSTR Index) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pbstrIndex) = 0;
};

struct _Recordset : public Recordset21 {
  virtual HRESULT STDMETHODCALLTYPE Save(VARIANT Destination, PersistFormatEnum PersistFormat) = 0;
};

#endif  // _WIN32
