// The emulated platform's COM server on Windows: the classes of
// com/classes.cpp handed to Wine's CoCreateInstance through
// DllGetClassObject, as the registration (caldrose_platform.reg) names them.
#include "platform/emulation/com/classes.h"
#include "platform/emulation/sdk.h"

namespace {

// One factory per class, living as long as the DLL: nothing to count.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const emulation::ClassEntry& entry) : entry_(entry) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppvObject = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return entry_.create(riid, ppvObject);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  const emulation::ClassEntry& entry_;
};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  // A class the organisation leaves out is not installed.
  const emulation::ClassEntry* entry = emulation::FindClass(rclsid);
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  static ClassFactory* factories[8] = {};
  const size_t index = emulation::ClassIndex(*entry);
  if (factories[index] == nullptr) factories[index] = new ClassFactory(*entry);
  return factories[index]->QueryInterface(riid, ppv);
}

// The emulation's state lives as long as the process.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
