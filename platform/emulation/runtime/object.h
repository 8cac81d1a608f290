// Reference counting shared by every emulated COM object. An object whose
// last reference is released leaves the ledger but is kept until the run
// ends, so that a further Release is caught instead of touching freed
// memory.
#pragma once

#include <string>

#include "platform/emulation/com/com.h"

namespace emulation {

class ObjectBase {
 public:
  explicit ObjectBase(std::string what);
  virtual ~ObjectBase() = default;
  ObjectBase(const ObjectBase&) = delete;
  ObjectBase& operator=(const ObjectBase&) = delete;

 protected:
  ULONG AddReference();
  ULONG ReleaseReference();

 private:
  std::string what_;
  ULONG references_ = 1;
  bool released_ = false;
};

// Frees the objects whose last reference is gone: the end of a run.
void BuryReleasedObjects();

}  // namespace emulation

// AddRef and Release of an emulated class, for all its interfaces.
#define EMULATED_REFERENCE_COUNT                                       \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); } \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }
