// Waits of the emulated Win32: WaitForSingleObject on a process, its main
// thread or a file, on a clock scaled by the organisation's waitScale.
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/emulation/win32/kernel_objects.h"

namespace emulation {

namespace {

bool WaitForChild(Child& child, DWORD milliseconds) {
  if (milliseconds == INFINITE) return Reap(child, true);
  const auto& organisation = TheWorld().organisation;
  const double scale = organisation ? organisation->waitScale : 1;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::microseconds(std::llround(static_cast<double>(milliseconds) * scale * 1000));
  for (;;) {
    if (Reap(child, false)) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(1)));
  }
}

}  // namespace

}  // namespace emulation

using emulation::Win32Call;

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  DWORD result = WAIT_FAILED;
  const HRESULT status = Win32Call(
      "WaitForSingleObject", emulation::HandleText(hHandle) + ", " + std::to_string(dwMilliseconds), [&]() -> DWORD {
        emulation::KernelObject* object = emulation::HeldObject(hHandle);
        if (object == nullptr) return ERROR_INVALID_HANDLE;
        // A file is always signalled; a process and its only thread when
        // the process has ended.
        result = object->kind == emulation::ObjectKind::File || emulation::WaitForChild(*object->child, dwMilliseconds)
                     ? WAIT_OBJECT_0
                     : WAIT_TIMEOUT;
        return ERROR_SUCCESS;
      });
  if (FAILED(status)) return WAIT_FAILED;
  // A planned success status stands for the wait's result.
  return status == S_OK ? result : static_cast<DWORD>(status);
}
