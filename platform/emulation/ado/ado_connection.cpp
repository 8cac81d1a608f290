// The ADO Connection class of the emulated platform, with the ADSI
// provider behind it.
#include <string>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/dispatch_object.h"
#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

namespace emulation {

namespace {

// ADO's own errors, with the texts ADO gives them.
constexpr HRESULT kObjectClosed = static_cast<HRESULT>(0x800A0E78);
constexpr HRESULT kObjectOpen = static_cast<HRESULT>(0x800A0E79);
constexpr HRESULT kProviderNotFound = static_cast<HRESULT>(0x800A0E7A);
constexpr const char* kConnectionSource = "ADODB.Connection";

// The provider named by a connection string's "Provider=" item.
std::string ProviderOf(const std::string& connectionString) {
  const std::string lower = emulation::LowerCase(connectionString);
  const size_t at = lower.find("provider=");
  if (at == std::string::npos) return {};
  const size_t start = at + 9;
  return lower.substr(start, lower.find(';', start) - start);
}

class Connection final : public ObjectBase, public Face<_Connection>, public Face<ISupportErrorInfo> {
 public:
  Connection()
      : ObjectBase("ADODB.Connection"),
        Face<_Connection>("_Connection"),
        Face<ISupportErrorInfo>("ISupportErrorInfo") {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_Connection15 || riid == IID__Connection)
      return static_cast<_Connection*>(this);
    if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return Guarded("ISupportErrorInfo::InterfaceSupportsErrorInfo", NameOf(&riid),
                   [&] { return (riid == IID_Connection15 || riid == IID__Connection) ? S_OK : S_FALSE; });
  }

  UNSERVED_DISPATCH(_Connection)

  HRESULT STDMETHODCALLTYPE get_Properties(ADOProperties**) override {
    return Unserved("_ADO::get_Properties", E_NOTIMPL);
  }

  HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR*) override {
    return Unserved("Connection15::get_ConnectionString", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR) override {
    return Unserved("Connection15::put_ConnectionString", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG*) override {
    return Unserved("Connection15::get_CommandTimeout", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG) override {
    return Unserved("Connection15::put_CommandTimeout", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG*) override {
    return Unserved("Connection15::get_ConnectionTimeout", E_NOTIMPL);
  }

  HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG lTimeout) override {
    return Planned("Connection15::put_ConnectionTimeout", Describe("%d", lTimeout), [&] {
      timeoutSeconds_ = lTimeout;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_Version(BSTR*) override { return Unserved("Connection15::get_Version", E_NOTIMPL); }

  HRESULT STDMETHODCALLTYPE Close() override {
    return Planned("Connection15::Close", {}, [&] {
      if (!open_) return Fail(kObjectClosed, "Operation is not allowed when the object is closed.");
      open_ = false;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Execute(BSTR, VARIANT*, LONG, _ADORecordset**) override {
    return Unserved("Connection15::Execute", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE BeginTrans(LONG*) override { return Unserved("Connection15::BeginTrans", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE CommitTrans() override { return Unserved("Connection15::CommitTrans", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE RollbackTrans() override { return Unserved("Connection15::RollbackTrans", E_NOTIMPL); }

  HRESULT STDMETHODCALLTYPE Open(BSTR ConnectionString, BSTR UserID, BSTR Password, LONG Options) override {
    const std::string arguments =
        Quoted(ConnectionString) + ", " + Quoted(UserID) + ", " + Quoted(Password) + ", " + std::to_string(Options);
    return Planned("Connection15::Open", arguments, [&] {
      if (open_) return Fail(kObjectOpen, "Operation is not allowed when the object is open.");
      const std::string text = ConnectionString == nullptr ? "" : Utf8FromUtf16(ConnectionString);
      const bool adsi = ProviderOf(text) == "adsdsoobject" && TheWorld().organisation->directory.adsiProvider;
      if (!adsi) return Fail(kProviderNotFound, "Provider cannot be found. It may not be properly installed.");
      open_ = true;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_Errors(ADOErrors**) override { return Unserved("Connection15::get_Errors", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR*) override {
    return Unserved("Connection15::get_DefaultDatabase", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR) override {
    return Unserved("Connection15::put_DefaultDatabase", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_IsolationLevel(IsolationLevelEnum*) override {
    return Unserved("Connection15::get_IsolationLevel", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_IsolationLevel(IsolationLevelEnum) override {
    return Unserved("Connection15::put_IsolationLevel", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Attributes(LONG*) override {
    return Unserved("Connection15::get_Attributes", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Attributes(LONG) override {
    return Unserved("Connection15::put_Attributes", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_CursorLocation(CursorLocationEnum*) override {
    return Unserved("Connection15::get_CursorLocation", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_CursorLocation(CursorLocationEnum) override {
    return Unserved("Connection15::put_CursorLocation", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Mode(ConnectModeEnum*) override {
    return Unserved("Connection15::get_Mode", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Mode(ConnectModeEnum) override { return Unserved("Connection15::put_Mode", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Provider(BSTR*) override { return Unserved("Connection15::get_Provider", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE put_Provider(BSTR) override { return Unserved("Connection15::put_Provider", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_State(LONG*) override { return Unserved("Connection15::get_State", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE OpenSchema(SchemaEnum, VARIANT, VARIANT, _ADORecordset**) override {
    return Unserved("Connection15::OpenSchema", E_NOTIMPL);
  }

  HRESULT STDMETHODCALLTYPE Cancel() override { return Unserved("_Connection::Cancel", E_NOTIMPL); }

  bool IsOpen() const { return open_; }

 private:
  // A planned failure of a method leaves its error object, as ADO does.
  template <typename Work>
  HRESULT Planned(std::string_view operation, const std::string& arguments, Work&& work) {
    return Guarded(operation, arguments, std::forward<Work>(work), SetFaultErrorInfo);
  }

  static HRESULT Fail(HRESULT status, const char* description) {
    SetFaultErrorInfo({"", 1, status, kConnectionSource, description});
    return status;
  }

  bool open_ = false;
  LONG timeoutSeconds_ = 15;
};

}  // namespace

bool IsOpenConnection(IUnknown* object) {
  auto* connection = dynamic_cast<Connection*>(object);
  return connection != nullptr && connection->IsOpen();
}

HRESULT CreateAdoConnection(REFIID riid, void** object) { return (new Connection())->HandOver(&riid, riid, object); }

}  // namespace emulation
