// The one registry of fault points: every platform operation that the
// tool's core calls and that an organisation file may plan to fail. The
// organisation reader checks fault names against it, every emulated
// operation announces itself under one of its names, and the fault sweep
// walks it.
#pragma once

#include <span>
#include <string_view>

#include "platform/emulation/runtime/wintypes.h"

namespace emulation {

struct FaultPoint {
  std::string_view operation;
  // A failure status the operation typically gives; for operations that
  // return no status (SysAllocString, FormatMessageA) any failure status
  // makes them return their failure value.
  HRESULT typicalFailure;
};

std::span<const FaultPoint> FaultPoints();
const FaultPoint* FindFaultPoint(std::string_view operation);

}  // namespace emulation
