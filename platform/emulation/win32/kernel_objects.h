// What the emulated Win32 files, processes and waits share: the kernel
// objects that handles stand for (each handle a ledger entry), the children
// that process handles share, the wrapper that runs a Win32 call under its
// planned fault and sets the thread's last error, and Linux's errors in
// Win32's terms.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/emulation/runtime/world.h"
#include "platform/emulation/win32/processes.h"

namespace emulation {

// A child started by CreateProcessA. It stays among the children until it has
// been reaped; its handles share it.
struct Child {
  pid_t pid = 0;
  bool ended = false;
};

// Whether child has ended, reaping it if so (waiting for it when
// blocking).
bool Reap(Child& child, bool blocking);
// Reaps every child that has ended, so that none is left a zombie.
void ReapEndedChildren();

enum class ObjectKind { Process, Thread, File };

// What a handle stands for.
struct KernelObject {
  ObjectKind kind;
  std::shared_ptr<Child> child;  // processes and threads
  int fd = -1;                   // files
};

// The object behind a handle that is held, or null.
KernelObject* HeldObject(HANDLE handle);
// A new handle for object, held in the ledger as what.
HANDLE HandOut(KernelObject* object, std::string what);
// Frees the object behind a handle that is closed or dropped.
void Destroy(KernelObject* object);
// A handle as the call trace shows it.
std::string HandleText(HANDLE handle);

// An argument text as the call trace shows it: quoted, or "null".
std::string QuotedText(const char* text);
std::string CurrentDirectory();
// path, made absolute from the current directory.
std::string Absolute(const std::string& path);
DWORD ErrorFromErrno(int error);
DWORD Win32ErrorOf(HRESULT status);

// Runs one Win32 call under the fault planned for it. work returns the
// call's error code, ERROR_SUCCESS when it worked. A failure, planned or
// not, becomes the thread's last error. Returns the status, so that a
// planned success status can stand for the call's own result.
template <typename Work>
HRESULT Win32Call(std::string_view operation, const std::string& arguments, Work&& work) {
  const HRESULT status = UnderFault(operation, arguments, [&]() -> HRESULT {
    const DWORD error = work();
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
  });
  if (FAILED(status)) TheWorld().lastError = Win32ErrorOf(status);
  return status;
}

}  // namespace emulation
