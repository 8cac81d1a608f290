// Waits of the emulated Win32: WaitForSingleObject on a process, its main
// thread or a file, on a clock scaled by the organisation's waitScale.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/emulation/win32/kernel_objects.h"

namespace emulation {

namespace {

// A descriptor that becomes readable when the process ends, so that a wait
// returns as soon as it does, as the platform's does; -1 where the kernel
// has none.
int ProcessDescriptor(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

bool WaitForChild(Child& child, DWORD milliseconds) {
  if (milliseconds == INFINITE) return Reap(child, true);
  const auto& organisation = TheWorld().organisation;
  const double scale = organisation ? organisation->waitScale : 1;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::microseconds(std::llround(static_cast<double>(milliseconds) * scale * 1000));
  const int descriptor = child.ended ? -1 : ProcessDescriptor(child.pid);
  bool ended = false;
  for (;;) {
    if (Reap(child, false)) {
      ended = true;
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    const auto left = deadline - now;
    if (descriptor >= 0) {
      pollfd ending{descriptor, POLLIN, 0};
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
      const timespec timeout{static_cast<time_t>(seconds.count()),
                             static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
      ppoll(&ending, 1, &timeout, nullptr);
    } else {
      // Without one, the wait looks every millisecond.
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(1)));
    }
  }
  if (descriptor >= 0) close(descriptor);
  return ended;
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
