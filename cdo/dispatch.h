// Automation calls as the platform's COM support makes them: the raw
// IDispatch::Invoke, and a raised _com_error for any failure.
#pragma once

#include <span>

#include "platform/sdk.h"

// One VARIANT, initialised at construction and cleared at the end of its
// scope.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(&value_); }

  VARIANT* get() { return &value_; }
  VARIANT& operator*() { return value_; }

 private:
  VARIANT value_;
};

// A new BSTR holding text; raises _com_error(E_OUTOFMEMORY) when the
// platform cannot allocate it, as the COM support's string class does.
BSTR AllocateBstrOrRaise(const OLECHAR* text);

// Calls member of object with the arguments given first to last (at most
// eight) and no named arguments, into result. A failure raises _com_error:
// an exception report (DISP_E_EXCEPTION) becomes an error whose status is
// the report's 16-bit code turned into a status when it has one, else its
// 32-bit code, and whose error object carries the report's texts; any
// other failure carries the error object the call left, if any.
void InvokeMember(IDispatch* object, DISPID member, WORD kind, std::span<VARIANT> arguments, VARIANT* result);
