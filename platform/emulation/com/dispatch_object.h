// What every emulated automation object's IDispatch does, so that each
// class writes only its own members: no type information and no names (the
// tool calls by DISPID), and an Invoke that checks the call, journals it
// under the member's name, applies a planned fault, and hands the member to
// the class. A planned fault with a source or a description fails the call
// as an automation server reports an exception: DISP_E_EXCEPTION, with the
// report filled in (with a wCode, or deferred, as the fault says).
#pragma once

#include <string>
#include <vector>

#include "platform/emulation/com/object.h"

namespace emulation {

// One member an automation class serves.
struct DispatchMember {
  DISPID id;
  WORD kinds;             // DISPATCH_METHOD and/or DISPATCH_PROPERTYGET
  const char* operation;  // its fault point, "Class::Member"
};

// The arguments of one call, first to last (Invoke receives them last
// first); a missing optional argument reads as VT_ERROR.
class DispatchArguments {
 public:
  explicit DispatchArguments(const DISPPARAMS* parameters) : parameters_(parameters) {}
  size_t size() const { return parameters_ == nullptr ? 0 : parameters_->cArgs; }
  const VARIANT& operator[](size_t index) const;
  std::string Describe() const;

 private:
  const DISPPARAMS* parameters_;
};

// Fills an exception report as an automation server does.
void ReportException(EXCEPINFO* report, HRESULT code, const std::optional<std::string>& source,
                     const std::optional<std::string>& description);
// Fills the report of a planned fault: its 16-bit code (wCode, the 32-bit
// scode then 0) or its status, and its texts; or, with deferred fill-in,
// only the wCode and pfnDeferredFillIn, which fills the rest when the
// caller calls it.
void ReportPlannedException(EXCEPINFO* report, const Fault& fault);

template <class Interface>
class DispatchFace : public Face<Interface> {
 public:
  DispatchFace(const char* name, std::vector<DispatchMember> members)
      : Face<Interface>(name), members_(std::move(members)) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT*) override {
    ObjectBase& object = *dynamic_cast<ObjectBase*>(this);
    const DispatchMember* member = nullptr;
    for (const DispatchMember& candidate : members_)
      if (candidate.id == dispIdMember && (candidate.kinds & wFlags) != 0) member = &candidate;
    if (member == nullptr) return object.Unserved("IDispatch::Invoke", DISP_E_MEMBERNOTFOUND);
    if (riid != IID_NULL) return object.Unserved(member->operation, DISP_E_UNKNOWNINTERFACE);
    if (pDispParams != nullptr && pDispParams->cNamedArgs != 0)
      return object.Unserved(member->operation, DISP_E_NONAMEDARGS);
    if (pVarResult != nullptr) VariantInit(pVarResult);
    const DispatchArguments arguments(pDispParams);
    bool reported = false;
    const HRESULT hr = object.Guarded(
        member->operation, arguments.Describe(),
        [&] { return InvokeMember(dispIdMember, arguments, pVarResult, pExcepInfo); },
        [&](const Fault& fault) {
          if (!fault.ReportsException()) return;
          ReportPlannedException(pExcepInfo, fault);
          reported = true;
        });
    return reported ? DISP_E_EXCEPTION : hr;
  }

 protected:
  // The class's own member. A refusal fills the report and returns
  // DISP_E_EXCEPTION.
  virtual HRESULT InvokeMember(DISPID member, const DispatchArguments& arguments, VARIANT* result,
                               EXCEPINFO* report) = 0;

 private:
  std::vector<DispatchMember> members_;
};

}  // namespace emulation

// IDispatch of an object that the tool reaches only through its vtable:
// late binding is not served.
#define UNSERVED_DISPATCH(Interface)                                                                                \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override {                                                      \
    return Unserved(#Interface "::GetTypeInfoCount", E_NOTIMPL);                                                    \
  }                                                                                                                 \
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {                                         \
    return Unserved(#Interface "::GetTypeInfo", E_NOTIMPL);                                                         \
  }                                                                                                                 \
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {                        \
    return Unserved(#Interface "::GetIDsOfNames", E_NOTIMPL);                                                       \
  }                                                                                                                 \
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
    return Unserved(#Interface "::Invoke", E_NOTIMPL);                                                              \
  }
