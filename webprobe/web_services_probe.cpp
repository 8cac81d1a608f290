#include "webprobe/web_services_probe.h"

#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "platform/sdk.h"
#include "webprobe/command_line.h"

namespace {

// Verrick has this long to write its report.
constexpr DWORD kVerrickTimeoutMilliseconds = 60000;

#if defined(_WIN32) && !defined(_WIN64)
// The start-up record as the 32-bit platform sizes it in its first member.
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA of 32-bit Windows");
#endif

}  // namespace

void RunWebServicesProbe(const char* smtpAddress, const char* displayName) {
  char temporaryDirectory[MAX_PATH];
  char reportPath[MAX_PATH];
  // The command line first, then each read of the report.
  char buffer[4096];

  // Without a report file there is nothing for Verrick to write into.
  const DWORD directoryLength = GetTempPathA(sizeof temporaryDirectory, temporaryDirectory);
  if (directoryLength == 0 || directoryLength >= sizeof temporaryDirectory ||
      GetTempFileNameA(temporaryDirectory, "Verrick", 0, reportPath) == 0) {
    ConsolePrintf("%s: Could not create temporary file for Verrick\n", displayName);
    return;
  }

  STARTUPINFOA startupInfo;
  memset(&startupInfo, 0, sizeof startupInfo);
  startupInfo.cb = sizeof startupInfo;
  PROCESS_INFORMATION processInfo;
  memset(&processInfo, 0, sizeof processInfo);

  // Each value is escaped so that Verrick's C runtime splits the line back
  // into exactly these three values, whatever they hold.
  snprintf(buffer, sizeof buffer, "\"Verrick\" %s \"%s\" \"%s\"", QuoteIfNeeded(smtpAddress).c_str(),
           EscapeForQuotes(displayName).c_str(), EscapeForQuotes(reportPath).c_str());

  // A failed start leaves both handles null: the wait on the null process
  // handle then fails at once and reports it.
  CreateProcessA(nullptr, buffer, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startupInfo, &processInfo);
  CloseHandle(processInfo.hThread);
  if (WaitForSingleObject(processInfo.hProcess, kVerrickTimeoutMilliseconds) != WAIT_OBJECT_0)
    ConsolePrintf("%s: Unable to execute Verrick\n", displayName);
  CloseHandle(processInfo.hProcess);

  HANDLE report = CreateFileA(reportPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (report == INVALID_HANDLE_VALUE) {
    ConsolePrintf("%s: Could not open temporary file for Verrick\n", displayName);
    return;
  }
  DWORD bytesRead = 0;
  do {
    if (!ReadFile(report, buffer, sizeof buffer, &bytesRead, nullptr)) break;
    fwrite(buffer, 1, bytesRead, stdout);
  } while (bytesRead == sizeof buffer);
  fflush(stdout);
  CloseHandle(report);
  DeleteFileA(reportPath);
}
