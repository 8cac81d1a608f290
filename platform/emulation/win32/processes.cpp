// Temporary files, files and child processes of the emulated platform, on
// Linux's own files and processes. Handles are ledger entries; a child is
// reaped as soon as it is seen to have ended, also after its handles are
// closed, so that the emulation leaves no zombie behind.
#include "platform/emulation/win32/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/win32/process_control.h"

extern char** environ;

namespace emulation {

namespace {

// A child started by CreateProcessA. It stays in Children() until it has
// been reaped; its handles share it.
struct Child {
  pid_t pid = 0;
  bool ended = false;
};

std::vector<std::shared_ptr<Child>>& Children() {
  static auto* children = new std::vector<std::shared_ptr<Child>>();  // outlives every static
  return *children;
}

bool Reap(Child& child, bool blocking) {
  if (child.ended) return true;
  int status = 0;
  pid_t reaped = 0;
  do {
    reaped = waitpid(child.pid, &status, blocking ? 0 : WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped == child.pid || (reaped < 0 && errno == ECHILD)) child.ended = true;
  return child.ended;
}

void ReapEndedChildren() {
  std::erase_if(Children(), [](const auto& child) { return Reap(*child, false); });
}

enum class ObjectKind { Process, Thread, File };

// What a handle stands for.
struct KernelObject {
  ObjectKind kind;
  std::shared_ptr<Child> child;  // processes and threads
  int fd = -1;                   // files
};

KernelObject* HeldObject(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !Ledger::Instance().Holds(Resource::Handle, handle))
    return nullptr;
  return static_cast<KernelObject*>(handle);
}

// Every object a handle stands for, until its handle is closed.
std::set<KernelObject*>& HandedOut() {
  static auto* objects = new std::set<KernelObject*>();  // outlives every static
  return *objects;
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

// A handle as the call trace shows it.
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

std::string CurrentDirectory() {
  char path[PATH_MAX];
  return getcwd(path, sizeof path) != nullptr ? path : ".";
}

std::string Absolute(const std::string& path) { return path.starts_with('/') ? path : CurrentDirectory() + "/" + path; }

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

// ---- Program lookup -----------------------------------------------------

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string executable(path, static_cast<size_t>(length));
  return executable.substr(0, executable.rfind('/'));
}

bool IsProgram(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The platform's file names ignore letter case: an exact match first, then
// any entry of the directory that differs only in case.
std::optional<std::string> FindInDirectory(const std::string& directory, const std::string& name) {
  if (IsProgram(directory + "/" + name)) return directory + "/" + name;
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* entry = readdir(listing)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0 && IsProgram(directory + "/" + entry->d_name)) {
      found = directory + "/" + entry->d_name;
      break;
    }
  }
  closedir(listing);
  return found;
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Whether the organisation has the program installed: all are but Verrick
// when the organisation says it is not.
bool IsInstalled(const std::string& token) {
  const auto& organisation = TheWorld().organisation;
  if (!organisation || organisation->verrick.installed) return true;
  const std::string name = BaseName(token);
  return strcasecmp(name.c_str(), "Verrick") != 0 && strcasecmp(name.c_str(), "Verrick.exe") != 0;
}

// The platform's search for a program named without a directory: the
// directory of the running executable, the current directory, then the
// search path. ".exe" is appended to a name without an extension; Linux
// programs have none, so the bare name is tried after it.
std::optional<std::string> FindProgram(const std::string& token) {
  if (token.empty() || !IsInstalled(token)) return std::nullopt;
  std::vector<std::string> names;
  if (BaseName(token).find('.') == std::string::npos) names.push_back(token + ".exe");
  names.push_back(token);
  if (token.find('/') != std::string::npos) {
    for (const std::string& name : names) {
      const std::string path = Absolute(name);
      if (auto found = FindInDirectory(path.substr(0, path.rfind('/')), BaseName(path))) return found;
    }
    return std::nullopt;
  }
  std::vector<std::string> directories = {ExecutableDirectory(), CurrentDirectory()};
  if (const char* search = getenv("PATH")) {
    const std::string text = search;
    for (size_t start = 0; start <= text.size();) {
      const size_t end = std::min(text.find(':', start), text.size());
      if (end > start) directories.push_back(Absolute(text.substr(start, end - start)));
      start = end + 1;
    }
  }
  for (const std::string& directory : directories) {
    if (directory.empty()) continue;
    for (const std::string& name : names)
      if (auto found = FindInDirectory(directory, name)) return found;
  }
  return std::nullopt;
}

// The program that a command line names when no application name is
// given: the quoted first token, or else each run of the line up to a
// space or tab, shortest first, as the platform tries them.
std::optional<std::string> ProgramOfCommandLine(std::string_view line) {
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return std::nullopt;
  line.remove_prefix(start);
  if (line.front() == '"') {
    const size_t close = line.find('"', 1);
    return FindProgram(std::string(line.substr(1, close == std::string_view::npos ? close : close - 1)));
  }
  for (size_t end = 0;; ++end) {
    end = line.find_first_of(" \t", end);
    if (auto found = FindProgram(std::string(line.substr(0, end)))) return found;
    if (end == std::string_view::npos) return std::nullopt;
  }
}

// An ANSI environment block: "NAME=value\0...\0\0".
std::vector<std::string> EnvironmentOfBlock(const char* block) {
  std::vector<std::string> entries;
  for (const char* entry = block; *entry != '\0'; entry += strlen(entry) + 1) entries.emplace_back(entry);
  return entries;
}

DWORD StartChild(const std::string& program, const char* commandLine, LPVOID environment, LPCSTR currentDirectory,
                 pid_t* pid) {
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> entries;
  std::vector<char*> envp;
  if (environment != nullptr) {
    entries = EnvironmentOfBlock(static_cast<const char*>(environment));
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (currentDirectory != nullptr) posix_spawn_file_actions_addchdir_np(&actions, currentDirectory);
  // The child shares this process's console: standard input, output and
  // error are inherited as they are.
  const int error =
      posix_spawn(pid, program.c_str(), &actions, nullptr, argv.data(), environment != nullptr ? envp.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? ERROR_SUCCESS : ErrorFromErrno(error);
}

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

void CloseLeftHandles() {
  while (!HandedOut().empty()) Destroy(*HandedOut().begin());
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  const auto blank = [&](size_t at) { return line[at] == ' ' || line[at] == '\t'; };
  std::vector<std::string> arguments;
  size_t at = 0;
  std::string program;
  for (bool quoted = false; at < line.size() && (quoted || !blank(at)); ++at) {
    if (line[at] == '"')
      quoted = !quoted;
    else
      program += line[at];
  }
  arguments.push_back(program);
  for (;;) {
    while (at < line.size() && blank(at)) ++at;
    if (at >= line.size()) break;
    std::string argument;
    bool quoted = false;
    for (;;) {
      size_t backslashes = 0;
      while (at < line.size() && line[at] == '\\') {
        ++backslashes;
        ++at;
      }
      if (at < line.size() && line[at] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
          ++at;
        } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
          argument += '"';
          at += 2;
        } else {
          quoted = !quoted;
          ++at;
        }
        continue;
      }
      argument.append(backslashes, '\\');
      if (at >= line.size() || (!quoted && blank(at))) break;
      argument += line[at++];
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::vector<int> RunningChildProcesses() {
  ReapEndedChildren();
  std::vector<int> pids;
  for (const auto& child : Children()) pids.push_back(child->pid);
  return pids;
}

bool AwaitChildProcesses(unsigned milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    ReapEndedChildren();
    if (Children().empty()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

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

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  using emulation::Describe;
  using emulation::QuotedText;
  const std::string arguments = QuotedText(lpApplicationName) + ", " + QuotedText(lpCommandLine) + ", " +
                                (lpProcessAttributes ? "attributes" : "null") + ", " +
                                (lpThreadAttributes ? "attributes" : "null") + ", " + std::to_string(bInheritHandles) +
                                ", " + Describe("0x%X", dwCreationFlags) + ", " +
                                (lpEnvironment ? "environment" : "null") + ", " + QuotedText(lpCurrentDirectory) +
                                ", " + (lpStartupInfo ? Describe("cb %u", lpStartupInfo->cb) : "null") + ", " +
                                (lpProcessInformation ? "record" : "null");
  emulation::ReapEndedChildren();
  const HRESULT status = Win32Call("CreateProcessA", arguments, [&]() -> DWORD {
    if (lpStartupInfo == nullptr || lpProcessInformation == nullptr) return ERROR_INVALID_PARAMETER;
    if (lpApplicationName == nullptr && lpCommandLine == nullptr) return ERROR_INVALID_PARAMETER;
    // An application name is used as it stands; otherwise the command
    // line's first token is looked up.
    const std::optional<std::string> program =
        lpApplicationName != nullptr ? (emulation::IsProgram(emulation::Absolute(lpApplicationName))
                                            ? std::optional<std::string>(emulation::Absolute(lpApplicationName))
                                            : std::nullopt)
                                     : emulation::ProgramOfCommandLine(lpCommandLine);
    if (!program) return ERROR_FILE_NOT_FOUND;
    pid_t pid = 0;
    const char* commandLine = lpCommandLine != nullptr ? lpCommandLine : lpApplicationName;
    if (const DWORD error = emulation::StartChild(*program, commandLine, lpEnvironment, lpCurrentDirectory, &pid))
      return error;
    auto child = std::make_shared<emulation::Child>(emulation::Child{pid, false});
    emulation::Children().push_back(child);
    using emulation::KernelObject;
    using emulation::ObjectKind;
    const std::string name = emulation::BaseName(*program);
    lpProcessInformation->hProcess =
        emulation::HandOut(new KernelObject{ObjectKind::Process, child}, "process " + name);
    lpProcessInformation->hThread =
        emulation::HandOut(new KernelObject{ObjectKind::Thread, child}, "main thread of " + name);
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
    return ERROR_SUCCESS;
  });
  return SUCCEEDED(status) ? TRUE : FALSE;
}

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

BOOL WINAPI CloseHandle(HANDLE hObject) {
  const HRESULT status = Win32Call("CloseHandle", emulation::HandleText(hObject), [&]() -> DWORD {
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
