// What every emulated COM object shares: reference counts kept per
// interface pointer handed out, so that releasing one interface is told
// apart from releasing another of the same object; and one guard through
// which every method call passes, which catches calls on an object that is
// no longer held or made after MAPI (and with it COM) was shut down.
//
// An object whose interfaces are all released leaves the ledger but is
// kept, so that a late call is caught instead of touching freed memory:
// until the run ends, or, when the run keeps only what is recent
// (SetRetention), until enough later objects were released after it.
// Every object comes into being through HandOver, and the end of the run
// (ResetRun) frees them all.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/emulation/com/com.h"
#include "platform/emulation/runtime/world.h"

namespace emulation {

class ObjectBase {
 public:
  explicit ObjectBase(std::string what);
  virtual ~ObjectBase() = default;
  ObjectBase(const ObjectBase&) = delete;
  ObjectBase& operator=(const ObjectBase&) = delete;

  // The interface pointer that answers riid, or null: what QueryInterface
  // hands out. IUnknown must always give the same pointer.
  virtual IUnknown* FaceFor(REFIID riid) = 0;

  // QueryInterface as the emulation itself asks it, to hand an object out:
  // no fault, no journal entry.
  HRESULT Hand(REFIID riid, void** object);
  // Hands out the interface asked for (or fallback when none is asked) of
  // an object just made with new: the run owns it from here.
  HRESULT HandOver(const IID* riid, REFIID fallback, void** object);

  // The face's side of IUnknown.
  HRESULT QueryInterfaceThrough(const char* interfaceName, REFIID riid, void** object);
  ULONG AddReference(IUnknown* face, const char* interfaceName);
  ULONG ReleaseReference(IUnknown* face, const char* interfaceName);

  // The shared guard of every method: the call is checked, journalled and
  // run under the fault planned for operation (see UnderFault).
  template <typename Work, typename OnFailure>
  HRESULT Guarded(std::string_view operation, const std::string& arguments, Work&& work, OnFailure&& onFailure) {
    if (!CheckUsable(operation)) return E_UNEXPECTED;
    return UnderFault(operation, arguments, std::forward<Work>(work), std::forward<OnFailure>(onFailure));
  }
  template <typename Work>
  HRESULT Guarded(std::string_view operation, const std::string& arguments, Work&& work) {
    return Guarded(operation, arguments, std::forward<Work>(work), [](const Fault&) {});
  }
  // A method that the emulation does not serve: still checked, no fault
  // point, and the platform's answer for it.
  HRESULT Unserved(std::string_view operation, HRESULT answer);

  const std::string& what() const { return what_; }

 private:
  bool Held() const;
  bool CheckUsable(std::string_view operation);
  // The same for interfaceName's method, whose name is composed only for
  // the violation: AddRef and Release come by the thousand.
  bool CheckUsable(std::string_view interfaceName, std::string_view method);
  // Why the object may not be called now, or null when it may.
  const char* Unusable() const;
  void Bury();

  std::string what_;
  // Counts per interface pointer; an entry at zero stays until the run ends.
  std::map<const IUnknown*, ULONG> references_;
  bool buried_ = false;
  // Where the run keeps this object.
  std::list<std::unique_ptr<ObjectBase>>::iterator kept_;
};

// One interface of an emulated object: its IUnknown, counted per pointer.
template <class Interface>
class Face : public Interface {
 public:
  explicit Face(const char* name) : name_(name) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    return Owner().QueryInterfaceThrough(name_, riid, ppvObject);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Owner().AddReference(this, name_); }
  ULONG STDMETHODCALLTYPE Release() override { return Owner().ReleaseReference(this, name_); }

 private:
  ObjectBase& Owner() { return *dynamic_cast<ObjectBase*>(this); }
  const char* name_;
};

// Frees every object of the run, held or not: the end of a run.
void FreeAllObjects();

}  // namespace emulation
