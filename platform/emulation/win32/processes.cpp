// Child processes of the emulated Win32, real ones: CreateProcessA looks a
// program up as the platform does and starts it with posix_spawn, sharing
// this process's console. A child is reaped as soon as it is seen to have
// ended, also after its handles are closed, so that the emulation leaves
// no zombie behind.
#include <dirent.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/emulation/win32/kernel_objects.h"
#include "platform/emulation/win32/process_control.h"

extern char** environ;

namespace emulation {

namespace {

std::vector<std::shared_ptr<Child>>& Children() {
  static auto* children = new std::vector<std::shared_ptr<Child>>();  // outlives every static
  return *children;
}

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

}  // namespace

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
