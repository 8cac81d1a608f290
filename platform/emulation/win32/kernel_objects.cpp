// The handles of the emulated Win32 and the kernel objects behind them:
// CloseHandle, and the closing of what a run left open at its end.
#include "platform/emulation/win32/kernel_objects.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <set>

#include "platform/emulation/runtime/ledger.h"

namespace emulation {

namespace {

// Every object a handle stands for, until its handle is closed.
std::set<KernelObject*>& HandedOut() {
  static auto* objects = new std::set<KernelObject*>();  // outlives every static
  return *objects;
}

// Closes the handles a run left open, as the end of its process does: the
// objects behind them are freed and their files closed.
void CloseLeftHandles() {
  while (!HandedOut().empty()) Destroy(*HandedOut().begin());
}

const RunReset kCloseLeftHandles(CloseLeftHandles);

}  // namespace

KernelObject* HeldObject(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !Ledger::Instance().Holds(Resource::Handle, handle))
    return nullptr;
  return static_cast<KernelObject*>(handle);
}

HANDLE HandOut(KernelObject* object, std::string what) {
  Ledger::Instance().Acquire(Resource::Handle, object, std::move(what));
  HandedOut().insert(object);
  return object;
}

void Destroy(KernelObject* object) {
  HandedOut().erase(object);
  if (object->fd >= 0) close(object->fd);
  delete object;
}

std::string HandleText(HANDLE handle) {
  if (handle == nullptr) return "null";
  if (handle == INVALID_HANDLE_VALUE) return "INVALID_HANDLE_VALUE";
  const KernelObject* object = HeldObject(handle);
  if (object == nullptr) return "unknown handle";
  switch (object->kind) {
    case ObjectKind::Process:
      return "process";
    case ObjectKind::Thread:
      return "thread";
    case ObjectKind::File:
      break;
  }
  return "file";
}

std::string QuotedText(const char* text) {
  if (text == nullptr) return "null";
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string CurrentDirectory() {
  char path[PATH_MAX];
  return getcwd(path, sizeof path) != nullptr ? path : ".";
}

std::string Absolute(const std::string& path) { return path.starts_with('/') ? path : CurrentDirectory() + "/" + path; }

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EWOULDBLOCK:
      return ERROR_SHARING_VIOLATION;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

DWORD Win32ErrorOf(HRESULT status) {
  const auto value = static_cast<uint32_t>(status);
  return (value & 0xFFFF0000u) == 0x80070000u ? value & 0xFFFFu : value;
}

}  // namespace emulation

BOOL WINAPI CloseHandle(HANDLE hObject) {
  const HRESULT status = emulation::Win32Call("CloseHandle", emulation::HandleText(hObject), [&]() -> DWORD {
    // The current process's pseudo-handle closes without effect.
    if (hObject == INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
    if (hObject == nullptr) return ERROR_INVALID_HANDLE;
    // A handle closed before is a ledger violation.
    if (!emulation::Ledger::Instance().Release(emulation::Resource::Handle, hObject, "CloseHandle"))
      return ERROR_INVALID_HANDLE;
    emulation::Destroy(static_cast<emulation::KernelObject*>(hObject));
    emulation::ReapEndedChildren();
    return ERROR_SUCCESS;
  });
  return SUCCEEDED(status) ? TRUE : FALSE;
}
