#include "platform/emulation/runtime/object.h"

#include <memory>
#include <vector>

#include "platform/emulation/runtime/ledger.h"

namespace emulation {

namespace {

std::vector<std::unique_ptr<ObjectBase>>& Released() {
  static auto* objects = new std::vector<std::unique_ptr<ObjectBase>>();  // outlives every static
  return *objects;
}

}  // namespace

ObjectBase::ObjectBase(std::string what) : what_(std::move(what)) {
  Ledger::Instance().Acquire(Resource::Interface, this, what_);
}

ULONG ObjectBase::AddReference() {
  if (released_) {
    Ledger::Instance().Release(Resource::Interface, this, "AddRef");
    return 0;
  }
  return ++references_;
}

ULONG ObjectBase::ReleaseReference() {
  if (released_) {
    Ledger::Instance().Release(Resource::Interface, this, "Release");
    return 0;
  }
  if (--references_ > 0) {
    Ledger::Instance().Note("Release interface " + what_);
    return references_;
  }
  released_ = true;
  Ledger::Instance().Release(Resource::Interface, this, "Release");
  Released().emplace_back(this);
  return 0;
}

void BuryReleasedObjects() { Released().clear(); }

}  // namespace emulation
