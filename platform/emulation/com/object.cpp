#include "platform/emulation/com/object.h"

#include <memory>

#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/control.h"
#include "platform/emulation/runtime/ledger.h"

namespace emulation {

namespace {

using ObjectList = std::list<std::unique_ptr<ObjectBase>>;

// Every object handed out during the run and not released since, and the
// released ones that are kept: all freed when the run ends.
struct KeptObjects {
  ObjectList held;
  ObjectList released;  // oldest first
};

Retention retention = Retention::Everything;

KeptObjects& Objects() {
  static auto* objects = new KeptObjects();  // outlives every static
  return *objects;
}

}  // namespace

ObjectBase::ObjectBase(std::string what) : what_(std::move(what)) {}

HRESULT ObjectBase::Hand(REFIID riid, void** object) {
  *object = nullptr;
  IUnknown* face = FaceFor(riid);
  if (face == nullptr) return E_NOINTERFACE;
  face->AddRef();
  *object = face;
  return S_OK;
}

HRESULT ObjectBase::HandOver(const IID* riid, REFIID fallback, void** object) {
  ObjectList& held = Objects().held;
  held.emplace_back(this);
  kept_ = std::prev(held.end());
  const HRESULT hr = Hand(riid != nullptr ? *riid : fallback, object);
  if (FAILED(hr)) Bury();  // never handed out
  return hr;
}

void ObjectBase::Bury() {
  buried_ = true;
  references_.clear();  // all at zero
  KeptObjects& objects = Objects();
  objects.released.splice(objects.released.end(), objects.held, kept_);
  // The oldest released objects go once there are more than the run
  // keeps; this one, the newest, stays.
  if (retention == Retention::Recent)
    while (objects.released.size() > kRecentlyReleasedObjects) objects.released.pop_front();
}

HRESULT ObjectBase::QueryInterfaceThrough(const char* interfaceName, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return Guarded(std::string(interfaceName) + "::QueryInterface", NameOf(&riid), [&] { return Hand(riid, object); });
}

bool ObjectBase::Held() const {
  for (const auto& [face, count] : references_)
    if (count > 0) return true;
  return false;
}

const char* ObjectBase::Unusable() const {
  if (!Held() && buried_) return "after its last release";
  if (!TheWorld().comInitialized) return "after MAPIUninitialize";
  return nullptr;
}

bool ObjectBase::CheckUsable(std::string_view operation) {
  const char* why = Unusable();
  if (why == nullptr) return true;
  Ledger::Instance().Violation(std::string(operation) + " on " + what_ + " " + why);
  return false;
}

bool ObjectBase::CheckUsable(std::string_view interfaceName, std::string_view method) {
  return Unusable() == nullptr || CheckUsable(std::string(interfaceName) + "::" + std::string(method));
}

ULONG ObjectBase::AddReference(IUnknown* face, const char* interfaceName) {
  if (!CheckUsable(interfaceName, "AddRef")) return 0;
  ULONG& count = references_[face];
  if (count++ == 0)
    Ledger::Instance().Acquire(Resource::Interface, face, std::string(interfaceName) + " (" + what_ + ")");
  return count;
}

ULONG ObjectBase::ReleaseReference(IUnknown* face, const char* interfaceName) {
  if (!CheckUsable(interfaceName, "Release")) return 0;
  const auto found = references_.find(face);
  if (found == references_.end() || found->second == 0) {
    Ledger::Instance().Violation(std::string(interfaceName) + "::Release of an interface not held (" + interfaceName +
                                 " of " + what_ + ")");
    return 0;
  }
  if (--found->second > 0) {
    Ledger::Instance().RecordRelease("Release", Resource::Interface, face);
    return found->second;
  }
  Ledger::Instance().Release(Resource::Interface, face, "Release");
  if (!Held()) Bury();
  return 0;
}

HRESULT ObjectBase::Unserved(std::string_view operation, HRESULT answer) {
  return CheckUsable(operation) ? answer : E_UNEXPECTED;
}

void SetRetention(Retention chosen) {
  retention = chosen;
  Ledger::Instance().KeepJournal(chosen == Retention::Everything);
}

Retention CurrentRetention() { return retention; }

void FreeAllObjects() {
  Objects().held.clear();
  Objects().released.clear();
}

// The end of a run frees every object of it.
const RunReset kFreeObjectsAtTheEnd(FreeAllObjects);

}  // namespace emulation
