// The ADO Connection class of the emulated platform, with the ADSI
// provider behind it.
#include <string>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/dispatch_object.h"
#include "platform/emulation/runtime/object.h"
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
  std::string lower;
  for (char c : connectionString) lower += static_cast<char>(tolower(static_cast<unsigned char>(c)));
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

  HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG lTimeout) override {
    return Planned("Connection15::put_ConnectionTimeout", Describe("%d", lTimeout), [&] {
      timeoutSeconds_ = lTimeout;
      return S_OK;
    });
  }

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

  HRESULT STDMETHODCALLTYPE Close() override {
    return Planned("Connection15::Close", {}, [&] {
      if (!open_) return Fail(kObjectClosed, "Operation is not allowed when the object is closed.");
      open_ = false;
      return S_OK;
    });
  }

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
