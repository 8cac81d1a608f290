// Temporary files and files of the emulated Win32, on Linux's own:
// GetTempPathA, GetTempFileNameA, CreateFileA (share modes kept with
// advisory locks), ReadFile and DeleteFileA.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulation/win32/kernel_objects.h"

namespace emulation {

namespace {

// GetTempPath's order, with Linux's own variable before the fallback.
std::string TemporaryDirectory() {
  std::string path = "/tmp";
  for (const char* variable : {"TMP", "TEMP", "TMPDIR"}) {
    const char* value = getenv(variable);
    if (value != nullptr && *value != '\0') {
      path = Absolute(value);
      break;
    }
  }
  if (!path.ends_with('/')) path += '/';
  return path;
}

}  // namespace

}  // namespace emulation

using emulation::Win32Call;

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  DWORD result = 0;
  Win32Call("GetTempPathA", std::to_string(nBufferLength), [&]() -> DWORD {
    const std::string path = emulation::TemporaryDirectory();
    // A buffer that is too small gets nothing; the answer is the size needed.
    if (path.size() + 1 > nBufferLength) {
      result = static_cast<DWORD>(path.size() + 1);
      return ERROR_SUCCESS;
    }
    if (lpBuffer == nullptr) return ERROR_INVALID_PARAMETER;
    memcpy(lpBuffer, path.c_str(), path.size() + 1);
    result = static_cast<DWORD>(path.size());
    return ERROR_SUCCESS;
  });
  return result;
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName) {
  UINT result = 0;
  const std::string arguments =
      emulation::QuotedText(lpPathName) + ", " + emulation::QuotedText(lpPrefixString) + ", " + std::to_string(uUnique);
  Win32Call("GetTempFileNameA", arguments, [&]() -> DWORD {
    if (lpPathName == nullptr || lpTempFileName == nullptr) return ERROR_INVALID_PARAMETER;
    std::string stem = lpPathName;
    if (stem.size() > MAX_PATH - 14) return ERROR_BUFFER_OVERFLOW;
    if (!stem.empty() && !stem.ends_with('/')) stem += '/';
    // Up to the first three characters of the prefix.
    if (lpPrefixString != nullptr) stem += std::string(lpPrefixString).substr(0, 3);
    const auto nameOf = [&](UINT number) { return stem + emulation::Describe("%X", number) + ".tmp"; };
    if (uUnique != 0) {
      // A given number makes a name only; no file is created.
      const std::string name = nameOf(uUnique & 0xFFFF);
      memcpy(lpTempFileName, name.c_str(), name.size() + 1);
      result = uUnique;
      return ERROR_SUCCESS;
    }
    // The number starts from the clock and goes up until a new file can be
    // created under it.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    UINT number = static_cast<UINT>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() & 0xFFFF);
    for (unsigned tries = 0; tries < 0xFFFF; ++tries, number = number % 0xFFFF + 1) {
      if (number == 0) number = 1;
      const std::string name = nameOf(number);
      const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_DIRECTORY : emulation::ErrorFromErrno(errno);
      close(fd);
      memcpy(lpTempFileName, name.c_str(), name.size() + 1);
      result = number;
      return ERROR_SUCCESS;
    }
    return ERROR_FILE_EXISTS;
  });
  return result;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  HANDLE result = INVALID_HANDLE_VALUE;
  const std::string arguments = emulation::QuotedText(lpFileName) +
                                emulation::Describe(", 0x%X, 0x%X, ", dwDesiredAccess, dwShareMode) +
                                (lpSecurityAttributes ? "attributes" : "null") +
                                emulation::Describe(", %u, 0x%X, ", dwCreationDisposition, dwFlagsAndAttributes) +
                                (hTemplateFile ? "template" : "null");
  Win32Call("CreateFileA", arguments, [&]() -> DWORD {
    if (lpFileName == nullptr) return ERROR_PATH_NOT_FOUND;
    int flags = O_CLOEXEC;
    if ((dwDesiredAccess & GENERIC_WRITE) != 0) flags |= (dwDesiredAccess & GENERIC_READ) != 0 ? O_RDWR : O_WRONLY;
    bool truncate = false;
    switch (dwCreationDisposition) {
      case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
      case CREATE_ALWAYS:
        flags |= O_CREAT;
        truncate = true;
        break;
      case OPEN_EXISTING:
        break;
      case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
      case TRUNCATE_EXISTING:
        truncate = true;
        break;
      default:
        return ERROR_INVALID_PARAMETER;
    }
    const int fd = open(lpFileName, flags, 0666);
    if (fd < 0) return emulation::ErrorFromErrno(errno);
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
      close(fd);
      return ERROR_ACCESS_DENIED;
    }
    // Sharing is kept with advisory locks, which the other programs of the
    // emulated world (Verrick) take too: no sharing locks the file
    // exclusively, sharing reads only keeps writers out, sharing writes
    // takes no lock. A lock held against ours is a sharing violation.
    const int lock = dwShareMode == 0 ? LOCK_EX : (dwShareMode & FILE_SHARE_WRITE) != 0 ? 0 : LOCK_SH;
    if (lock != 0 && flock(fd, lock | LOCK_NB) != 0) {
      const int error = errno;
      close(fd);
      return error == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : emulation::ErrorFromErrno(error);
    }
    if (truncate && ftruncate(fd, 0) != 0) {
      const int error = errno;
      close(fd);
      return emulation::ErrorFromErrno(error);
    }
    result = emulation::HandOut(new emulation::KernelObject{emulation::ObjectKind::File, nullptr, fd},
                                "file \"" + std::string(lpFileName) + "\"");
    return ERROR_SUCCESS;
  });
  return result;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  const std::string arguments = emulation::HandleText(hFile) + ", " + std::to_string(nNumberOfBytesToRead) + ", " +
                                (lpOverlapped ? "overlapped" : "null");
  const HRESULT status = Win32Call("ReadFile", arguments, [&]() -> DWORD {
    const emulation::KernelObject* object = emulation::HeldObject(hFile);
    if (object == nullptr || object->kind != emulation::ObjectKind::File) return ERROR_INVALID_HANDLE;
    // Overlapped reads are not served.
    if (lpNumberOfBytesRead == nullptr || lpOverlapped != nullptr) return ERROR_INVALID_PARAMETER;
    DWORD total = 0;
    while (total < nNumberOfBytesToRead) {
      const ssize_t got = read(object->fd, static_cast<char*>(lpBuffer) + total, nNumberOfBytesToRead - total);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno == EBADF ? ERROR_ACCESS_DENIED : emulation::ErrorFromErrno(errno);
      if (got == 0) break;
      total += static_cast<DWORD>(got);
    }
    *lpNumberOfBytesRead = total;
    return ERROR_SUCCESS;
  });
  return SUCCEEDED(status) ? TRUE : FALSE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  const HRESULT status = Win32Call("DeleteFileA", emulation::QuotedText(lpFileName), [&]() -> DWORD {
    if (lpFileName == nullptr) return ERROR_PATH_NOT_FOUND;
    struct stat status {};
    if (lstat(lpFileName, &status) != 0) return emulation::ErrorFromErrno(errno);
    if (S_ISDIR(status.st_mode)) return ERROR_ACCESS_DENIED;
    // A file that someone holds open without sharing stays.
    const int fd = open(lpFileName, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      close(fd);
      if (held) return ERROR_SHARING_VIOLATION;
    }
    return unlink(lpFileName) == 0 ? ERROR_SUCCESS : emulation::ErrorFromErrno(errno);
  });
  return SUCCEEDED(status) ? TRUE : FALSE;
}
