// The ADO Recordset class of the emulated platform, with the ADSI
// provider's LDAP dialect behind it: "<LDAP://[server/]base>;filter;
// attributes[;scope]", run over the directory.
#include <optional>
#include <string>
#include <vector>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/dispatch_object.h"
#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/directory/directory.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

namespace emulation {

namespace {

// ADO's own errors and the provider's, with the texts they come with.
constexpr HRESULT kObjectClosed = static_cast<HRESULT>(0x800A0E78);
constexpr HRESULT kObjectOpen = static_cast<HRESULT>(0x800A0E79);
constexpr HRESULT kInvalidConnection = static_cast<HRESULT>(0x800A0E7D);
constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x800A0BB9);
constexpr HRESULT kItemNotFound = static_cast<HRESULT>(0x800A0CC1);
constexpr HRESULT kErrorsInCommand = static_cast<HRESULT>(0x80040E14);
constexpr HRESULT kServerNotOperational = static_cast<HRESULT>(0x8007203A);
constexpr HRESULT kNoSuchObject = static_cast<HRESULT>(0x80072030);
constexpr const char* kRecordsetSource = "ADODB.Recordset";
constexpr const char* kFieldsSource = "ADODB.Fields";
constexpr const char* kProviderSource = "Provider";

// A planned failure of an ADO method leaves its error object, as ADO does.
template <typename Work>
HRESULT Planned(ObjectBase& object, std::string_view operation, const std::string& arguments, Work&& work) {
  return object.Guarded(operation, arguments, std::forward<Work>(work), SetFaultErrorInfo);
}

HRESULT Fail(HRESULT status, const char* source, const char* description) {
  SetFaultErrorInfo({"", 1, status, source, description});
  return status;
}

// A record's value of one requested attribute: text, or null. Values are
// kept as plain text so that an object released by the tool holds nothing
// of the ledger's.
struct Column {
  std::string name;
  std::optional<std::string> text;
};
using Record = std::vector<Column>;

VARIANT ValueOf(const Column& column) {
  VARIANT value;
  VariantInit(&value);
  if (!column.text) {
    value.vt = VT_NULL;
    return value;
  }
  const emulation::WideString wide = Utf16FromUtf8(*column.text);
  value.vt = VT_BSTR;
  value.bstrVal = emulation::EmulatedString(wide.data(), static_cast<UINT>(wide.size()));
  return value;
}

class AdoField final : public ObjectBase, public Face<Field>, public Face<ISupportErrorInfo> {
 public:
  explicit AdoField(Column column)
      : ObjectBase("Field " + column.name),
        Face<Field>("Field20"),
        Face<ISupportErrorInfo>("ISupportErrorInfo"),
        column_(std::move(column)) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_Field20) return static_cast<Field*>(this);
    if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return Guarded("ISupportErrorInfo::InterfaceSupportsErrorInfo", NameOf(&riid),
                   [&] { return riid == IID_Field20 ? S_OK : S_FALSE; });
  }
  UNSERVED_DISPATCH(Field20)

  HRESULT STDMETHODCALLTYPE get_Properties(ADOProperties**) override {
    return Unserved("Field20::get_Properties", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_ActualSize(ADO_LONGPTR*) override {
    return Unserved("Field20::get_ActualSize", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Attributes(LONG*) override { return Unserved("Field20::get_Attributes", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_DefinedSize(ADO_LONGPTR*) override {
    return Unserved("Field20::get_DefinedSize", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return Unserved("Field20::get_Name", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Type(DataTypeEnum*) override { return Unserved("Field20::get_Type", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pvar) override {
    return Planned(*this, "Field20::get_Value", {}, [&]() -> HRESULT {
      *pvar = ValueOf(column_);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT) override { return Unserved("Field20::put_Value", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Precision(BYTE*) override { return Unserved("Field20::get_Precision", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE*) override {
    return Unserved("Field20::get_NumericScale", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT) override { return Unserved("Field20::AppendChunk", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE GetChunk(LONG, VARIANT*) override { return Unserved("Field20::GetChunk", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT*) override {
    return Unserved("Field20::get_OriginalValue", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT*) override {
    return Unserved("Field20::get_UnderlyingValue", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown**) override {
    return Unserved("Field20::get_DataFormat", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown*) override {
    return Unserved("Field20::putref_DataFormat", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Precision(BYTE) override { return Unserved("Field20::put_Precision", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE) override { return Unserved("Field20::put_NumericScale", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_Type(DataTypeEnum) override { return Unserved("Field20::put_Type", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_DefinedSize(ADO_LONGPTR) override {
    return Unserved("Field20::put_DefinedSize", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Attributes(LONG) override { return Unserved("Field20::put_Attributes", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Status(LONG*) override { return Unserved("Field20::get_Status", E_NOTIMPL); }

 private:
  Column column_;
};

// The fields of the record that was current when the collection was asked
// for.
class AdoFields final : public ObjectBase, public Face<Fields>, public Face<ISupportErrorInfo> {
 public:
  explicit AdoFields(Record record)
      : ObjectBase("Fields"),
        Face<Fields>("Fields15"),
        Face<ISupportErrorInfo>("ISupportErrorInfo"),
        record_(std::move(record)) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_Fields15) return static_cast<Fields*>(this);
    if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return Guarded("ISupportErrorInfo::InterfaceSupportsErrorInfo", NameOf(&riid),
                   [&] { return riid == IID_Fields15 ? S_OK : S_FALSE; });
  }
  UNSERVED_DISPATCH(Fields15)

  HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return Unserved("Fields15::get_Count", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return Unserved("Fields15::_NewEnum", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Refresh() override { return Unserved("Fields15::Refresh", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, Field** ppvObject) override {
    const std::string argument = Index.vt == VT_BSTR ? Quoted(Index.bstrVal)
                                 : Index.vt == VT_I4 ? Describe("%d", Index.lVal)
                                                     : Describe("type 0x%X", Index.vt);
    return Planned(*this, "Fields15::get_Item", argument, [&]() -> HRESULT {
      *ppvObject = nullptr;
      const Column* found = nullptr;
      if (Index.vt == VT_I4 || Index.vt == VT_I2) {
        const LONG at = Index.vt == VT_I4 ? Index.lVal : Index.iVal;
        if (at >= 0 && static_cast<size_t>(at) < record_.size()) found = &record_[static_cast<size_t>(at)];
      } else if (Index.vt == VT_BSTR) {
        const std::string name = Index.bstrVal == nullptr ? "" : Utf8FromUtf16(Index.bstrVal);
        for (const Column& column : record_)
          if (SameText(column.name, name)) found = &column;
      }
      if (found == nullptr)
        return Fail(kItemNotFound, kFieldsSource,
                    "Item cannot be found in the collection corresponding to the requested name or ordinal.");
      return (new AdoField(*found))->HandOver(nullptr, IID_Field20, reinterpret_cast<void**>(ppvObject));
    });
  }
  HRESULT STDMETHODCALLTYPE _Append(BSTR, DataTypeEnum, ADO_LONGPTR, FieldAttributeEnum) override {
    return Unserved("Fields15::_Append", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Delete(VARIANT) override { return Unserved("Fields15::Delete", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Append(BSTR, DataTypeEnum, ADO_LONGPTR, FieldAttributeEnum, VARIANT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return Unserved("Fields15::Update", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Resync(ResyncEnum) override { return Unserved("Fields15::Resync", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE CancelUpdate() override { return Unserved("Fields15::CancelUpdate", E_NOTIMPL); }

 private:
  Record record_;
};

std::string Trim(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

struct LdapCommand {
  std::optional<std::string> server;
  std::string base;
  LdapFilter filter;
  std::vector<std::string> attributes;
  SearchScope scope = SearchScope::Subtree;
};

// The command's parts, or none when the text is not an LDAP-dialect command.
std::optional<LdapCommand> ParseCommand(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(';', start)) != std::string::npos; start = at + 1)
    parts.push_back(Trim(text.substr(start, at - start)));
  parts.push_back(Trim(text.substr(start)));
  if (parts.size() < 3 || parts.size() > 4) return std::nullopt;
  const std::string& base = parts[0];
  if (base.size() < 9 || base.front() != '<' || base.back() != '>' || base.compare(1, 7, "LDAP://") != 0)
    return std::nullopt;
  std::string path = base.substr(8, base.size() - 9);
  std::optional<std::string> server;
  if (const size_t slash = path.find('/'); slash != std::string::npos) {
    server = path.substr(0, slash);
    path = path.substr(slash + 1);
  }
  if (path.empty()) return std::nullopt;
  auto filter = LdapFilter::Parse(parts[1]);
  if (!filter) return std::nullopt;
  std::vector<std::string> attributes;
  size_t from = 0;
  for (size_t at;; from = at + 1) {
    at = parts[2].find(',', from);
    const std::string name = Trim(parts[2].substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (name.empty()) return std::nullopt;
    attributes.push_back(name);
    if (at == std::string::npos) break;
  }
  SearchScope scope = SearchScope::Subtree;
  if (parts.size() == 4) {
    if (SameText(parts[3], "base"))
      scope = SearchScope::Base;
    else if (SameText(parts[3], "onelevel"))
      scope = SearchScope::OneLevel;
    else if (!SameText(parts[3], "subtree"))
      return std::nullopt;
  }
  return LdapCommand{std::move(server), std::move(path), std::move(*filter), std::move(attributes), scope};
}

class Recordset final : public ObjectBase, public Face<_Recordset>, public Face<ISupportErrorInfo> {
 public:
  Recordset()
      : ObjectBase("_Recordset (ADODB.Recordset)"),
        Face<_Recordset>("_Recordset"),
        Face<ISupportErrorInfo>("ISupportErrorInfo") {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_Recordset15 || riid == IID__Recordset)
      return static_cast<_Recordset*>(this);
    if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }
  UNSERVED_DISPATCH(_Recordset)

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return Guarded("ISupportErrorInfo::InterfaceSupportsErrorInfo", NameOf(&riid),
                   [&] { return (riid == IID_Recordset15 || riid == IID__Recordset) ? S_OK : S_FALSE; });
  }

  HRESULT STDMETHODCALLTYPE Open(VARIANT Source, VARIANT ActiveConnection, CursorTypeEnum CursorType,
                                 LockTypeEnum LockType, LONG Options) override {
    const std::string source = Source.vt == VT_BSTR ? Quoted(Source.bstrVal) : Describe("type 0x%X", Source.vt);
    const std::string connection = ActiveConnection.vt == VT_DISPATCH ? "connection" : "none";
    return Planned(*this, "Recordset15::Open",
                   source + ", " + connection + Describe(", %d, %d, %d", CursorType, LockType, Options),
                   [&]() -> HRESULT {
                     if (open_)
                       return Fail(kObjectOpen, kRecordsetSource, "Operation is not allowed when the object is open.");
                     if (ActiveConnection.vt != VT_DISPATCH || ActiveConnection.pdispVal == nullptr ||
                         !IsOpenConnection(ActiveConnection.pdispVal))
                       return Fail(kInvalidConnection, kRecordsetSource,
                                   "The connection cannot be used to perform this operation. It is either closed "
                                   "or invalid in this context.");
                     if (Source.vt != VT_BSTR || Source.bstrVal == nullptr)
                       return Fail(kInvalidArgument, kRecordsetSource,
                                   "Arguments are of the wrong type, are out of acceptable range, or are in "
                                   "conflict with one another.");
                     return Run(Utf8FromUtf16(Source.bstrVal), CursorType, ActiveConnection.pdispVal);
                   });
  }

  HRESULT STDMETHODCALLTYPE Close() override {
    return Planned(*this, "Recordset15::Close", {}, [&]() -> HRESULT {
      if (!open_) return Fail(kObjectClosed, kRecordsetSource, "Operation is not allowed when the object is closed.");
      Discard();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* pb) override {
    return Planned(*this, "Recordset15::get_EOF", {}, [&]() -> HRESULT {
      if (!open_) return Closed();
      *pb = current_ >= records_.size() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL*) override { return Unserved("_Recordset::get_BOF", E_NOTIMPL); }

  HRESULT STDMETHODCALLTYPE get_RecordCount(ADO_LONGPTR* pl) override {
    return Planned(*this, "Recordset15::get_RecordCount", {}, [&]() -> HRESULT {
      if (!open_) return Closed();
      // Only a static or keyset cursor knows its count; others give -1.
      *pl =
          (cursorType_ == adOpenStatic || cursorType_ == adOpenKeyset) ? static_cast<ADO_LONGPTR>(records_.size()) : -1;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_Fields(Fields** ppvObject) override {
    return Planned(*this, "Recordset15::get_Fields", {}, [&]() -> HRESULT {
      if (!open_) return Closed();
      *ppvObject = nullptr;
      Record record;
      if (current_ < records_.size()) {
        record = records_[current_];
      } else {
        // At the end the fields are there, without values.
        for (const std::string& name : attributes_) record.push_back({name, std::nullopt});
      }
      return (new AdoFields(std::move(record)))->HandOver(nullptr, IID_Fields15, reinterpret_cast<void**>(ppvObject));
    });
  }

  HRESULT STDMETHODCALLTYPE MoveNext() override { return Unserved("_Recordset::MoveNext", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_State(LONG*) override { return Unserved("_Recordset::get_State", E_NOTIMPL); }

  // Not served.
  HRESULT STDMETHODCALLTYPE get_Properties(ADOProperties**) override {
    return Unserved("_Recordset::get_Properties", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_AbsolutePosition(PositionEnum_Param*) override {
    return Unserved("_Recordset::get_AbsolutePosition", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_AbsolutePosition(PositionEnum_Param) override {
    return Unserved("_Recordset::put_AbsolutePosition", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch*) override {
    return Unserved("_Recordset::putref_ActiveConnection", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT) override {
    return Unserved("_Recordset::put_ActiveConnection", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT*) override {
    return Unserved("_Recordset::get_ActiveConnection", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT*) override { return Unserved("_Recordset::get_Bookmark", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT) override { return Unserved("_Recordset::put_Bookmark", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_CacheSize(LONG*) override { return Unserved("_Recordset::get_CacheSize", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_CacheSize(LONG) override { return Unserved("_Recordset::put_CacheSize", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_CursorType(CursorTypeEnum*) override {
    return Unserved("_Recordset::get_CursorType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_CursorType(CursorTypeEnum) override {
    return Unserved("_Recordset::put_CursorType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_LockType(LockTypeEnum*) override {
    return Unserved("_Recordset::get_LockType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_LockType(LockTypeEnum) override {
    return Unserved("_Recordset::put_LockType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_MaxRecords(ADO_LONGPTR*) override {
    return Unserved("_Recordset::get_MaxRecords", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_MaxRecords(ADO_LONGPTR) override {
    return Unserved("_Recordset::put_MaxRecords", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE putref_Source(IDispatch*) override {
    return Unserved("_Recordset::putref_Source", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Source(BSTR) override { return Unserved("_Recordset::put_Source", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Source(VARIANT*) override { return Unserved("_Recordset::get_Source", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE AddNew(VARIANT, VARIANT) override { return Unserved("_Recordset::AddNew", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE CancelUpdate() override { return Unserved("_Recordset::CancelUpdate", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Delete(AffectEnum) override { return Unserved("_Recordset::Delete", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE GetRows(LONG, VARIANT, VARIANT, VARIANT*) override {
    return Unserved("_Recordset::GetRows", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Move(ADO_LONGPTR, VARIANT) override { return Unserved("_Recordset::Move", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE MovePrevious() override { return Unserved("_Recordset::MovePrevious", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE MoveFirst() override { return Unserved("_Recordset::MoveFirst", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE MoveLast() override { return Unserved("_Recordset::MoveLast", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Requery(LONG) override { return Unserved("_Recordset::Requery", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE _xResync(AffectEnum) override { return Unserved("_Recordset::_xResync", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Update(VARIANT, VARIANT) override { return Unserved("_Recordset::Update", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_AbsolutePage(PositionEnum_Param*) override {
    return Unserved("_Recordset::get_AbsolutePage", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_AbsolutePage(PositionEnum_Param) override {
    return Unserved("_Recordset::put_AbsolutePage", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_EditMode(EditModeEnum*) override {
    return Unserved("_Recordset::get_EditMode", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Filter(VARIANT*) override { return Unserved("_Recordset::get_Filter", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_Filter(VARIANT) override { return Unserved("_Recordset::put_Filter", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_PageCount(ADO_LONGPTR*) override {
    return Unserved("_Recordset::get_PageCount", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_PageSize(LONG*) override { return Unserved("_Recordset::get_PageSize", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_PageSize(LONG) override { return Unserved("_Recordset::put_PageSize", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Sort(BSTR*) override { return Unserved("_Recordset::get_Sort", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_Sort(BSTR) override { return Unserved("_Recordset::put_Sort", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Status(LONG*) override { return Unserved("_Recordset::get_Status", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE _xClone(_ADORecordset**) override { return Unserved("_Recordset::_xClone", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE UpdateBatch(AffectEnum) override { return Unserved("_Recordset::UpdateBatch", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE CancelBatch(AffectEnum) override { return Unserved("_Recordset::CancelBatch", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum*) override {
    return Unserved("_Recordset::get_CursorLocation", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum) override {
    return Unserved("_Recordset::put_CursorLocation", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE NextRecordset(VARIANT*, _ADORecordset**) override {
    return Unserved("_Recordset::NextRecordset", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Supports(CursorOptionEnum, VARIANT_BOOL*) override {
    return Unserved("_Recordset::Supports", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Collect(VARIANT, VARIANT*) override {
    return Unserved("_Recordset::get_Collect", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Collect(VARIANT, VARIANT) override {
    return Unserved("_Recordset::put_Collect", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_MarshalOptions(MarshalOptionsEnum*) override {
    return Unserved("_Recordset::get_MarshalOptions", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_MarshalOptions(MarshalOptionsEnum) override {
    return Unserved("_Recordset::put_MarshalOptions", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Find(BSTR, ADO_LONGPTR, SearchDirectionEnum, VARIANT) override {
    return Unserved("_Recordset::Find", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Cancel() override { return Unserved("_Recordset::Cancel", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_DataSource(IUnknown**) override {
    return Unserved("_Recordset::get_DataSource", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE putref_DataSource(IUnknown*) override {
    return Unserved("_Recordset::putref_DataSource", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE _xSave(BSTR, PersistFormatEnum) override {
    return Unserved("_Recordset::_xSave", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_ActiveCommand(IDispatch**) override {
    return Unserved("_Recordset::get_ActiveCommand", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_StayInSync(VARIANT_BOOL) override {
    return Unserved("_Recordset::put_StayInSync", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_StayInSync(VARIANT_BOOL*) override {
    return Unserved("_Recordset::get_StayInSync", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE GetString(StringFormatEnum, LONG, BSTR, BSTR, BSTR, BSTR*) override {
    return Unserved("_Recordset::GetString", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_DataMember(BSTR*) override { return Unserved("_Recordset::get_DataMember", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_DataMember(BSTR) override { return Unserved("_Recordset::put_DataMember", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE CompareBookmarks(VARIANT, VARIANT, CompareEnum*) override {
    return Unserved("_Recordset::CompareBookmarks", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Clone(LockTypeEnum, _ADORecordset**) override {
    return Unserved("_Recordset::Clone", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Resync(AffectEnum, ResyncEnum) override {
    return Unserved("_Recordset::Resync", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE Seek(VARIANT, SeekEnum) override { return Unserved("_Recordset::Seek", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_Index(BSTR) override { return Unserved("_Recordset::put_Index", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Index(BSTR*) override { return Unserved("_Recordset::get_Index", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Save(VARIANT, PersistFormatEnum) override {
    return Unserved("_Recordset::Save", E_NOTIMPL);
  }

 private:
  static HRESULT Closed() {
    return Fail(kObjectClosed, kRecordsetSource, "Operation is not allowed when the object is closed.");
  }

  HRESULT Run(const std::string& text, CursorTypeEnum cursorType, IDispatch* connection) {
    const std::optional<LdapCommand> command = ParseCommand(text);
    if (!command)
      return Fail(kErrorsInCommand, kProviderSource, "One or more errors occurred during processing of command.");
    const Directory& directory = TheDirectory();
    if (!directory.Reachable(command->server))
      return Fail(kServerNotOperational, kProviderSource, "The server is not operational.");
    const auto found = directory.Search(command->base, command->scope, command->filter);
    if (!found) return Fail(kNoSuchObject, kProviderSource, "There is no such object on the server.");
    const std::string prefix = "LDAP://" + (command->server ? *command->server + "/" : std::string());
    for (const std::string& dn : *found) {
      Record record;
      for (const std::string& attribute : command->attributes) {
        std::optional<std::string> text;
        if (SameText(attribute, "adspath"))
          text = prefix + dn;
        else if (const auto values = directory.Values(dn, attribute); !values.empty())
          text = values.front();
        record.push_back({attribute, std::move(text)});
      }
      records_.push_back(std::move(record));
    }
    attributes_ = command->attributes;
    // The open recordset holds its connection.
    connection->AddRef();
    connection_ = connection;
    cursorType_ = cursorType == adOpenUnspecified ? adOpenForwardOnly : cursorType;
    current_ = 0;
    open_ = true;
    return S_OK;
  }

  void Discard() {
    records_.clear();
    attributes_.clear();
    if (connection_ != nullptr) connection_->Release();
    connection_ = nullptr;
    open_ = false;
  }

  bool open_ = false;
  CursorTypeEnum cursorType_ = adOpenForwardOnly;
  std::vector<Record> records_;
  std::vector<std::string> attributes_;
  size_t current_ = 0;
  IDispatch* connection_ = nullptr;
};

}  // namespace

HRESULT CreateAdoRecordset(REFIID riid, void** object) { return (new Recordset())->HandOver(&riid, riid, object); }

}  // namespace emulation
