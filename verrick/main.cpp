// Verrick: checks one mailbox's web services and writes a short report into
// a file that its caller reads. Usage:
//
//   Verrick <SMTP address> <display name> <report file>
//
// The exit code is 0 when the report was written, 1 when it could not be,
// 2 for a wrong command line. The world it checks is the same organisation
// the emulated platform serves: the file CALDROSE_ORGANISATION names, or
// the built-in sample. docs/verrick.md describes the report and settings.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/web_services_index.h"
#include "verrick/report.h"

namespace {

using emulation::VerrickHang;
using emulation::VerrickMailbox;
using emulation::VerrickReport;

// Only what the check of this one mailbox needs is read: through the index
// that the tool's platform shares, when it has one for this file, so that
// a process costs the same whatever the size of the organisation.
emulation::Organisation ReadOrganisation(const std::string& smtpAddress) {
  const char* path = getenv("CALDROSE_ORGANISATION");
  if (path == nullptr || *path == '\0')
    return emulation::ReadWebServicesView(emulation::kSampleOrganisation, smtpAddress);
  const emulation::InheritedWebServicesIndex index;
  using Reading = emulation::OrganisationFile::Reading;
  const emulation::OrganisationFile file(path, index.text().empty() ? Reading::Whole : Reading::Parts);
  if (auto view = emulation::ReadIndexedWebServicesView(file.text(), file.identity(), index.text(), smtpAddress))
    return std::move(*view);
  return emulation::ReadWebServicesView(file.text(), smtpAddress);
}

#ifdef _WIN32
// Writes the report into the caller's file, opened without sharing so that
// a reader who wants the whole report keeps out while it is written. The
// file must exist: Verrick never creates one, so that a report that comes
// after its caller gave up and deleted the file is not left behind.
template <typename Midway>
bool WriteReport(const char* path, const std::string& report, Midway&& midway) {
  // A file someone else holds is waited for a few seconds at most, so
  // that Verrick always ends in good time.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  HANDLE file = INVALID_HANDLE_VALUE;
  for (;;) {
    file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION) {
      fprintf(stderr, "Verrick: cannot open the report file %s: error %lu\n", path, error);
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      fprintf(stderr, "Verrick: the report file %s is in use\n", path);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto writeAll = [&](const char* data, size_t size) {
    DWORD written = 0;
    return size == 0 || (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
  };
  const size_t half = report.size() / 2;
  bool written = writeAll(report.data(), half);
  midway();
  written = written && writeAll(report.data() + half, report.size() - half);
  written = CloseHandle(file) && written;
  if (!written) fprintf(stderr, "Verrick: cannot write the report file %s\n", path);
  return written;
}

#else
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Takes the report file's exclusive lock, waiting a few seconds at most so
// that Verrick always ends in good time.
bool Lock(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Writes the report into the caller's file, holding the file's lock so
// that a reader who wants the whole report keeps out while it is written.
// The file must exist: Verrick never creates one, so that a report that
// comes after its caller gave up and deleted the file is not left behind.
template <typename Midway>
bool WriteReport(const char* path, const std::string& report, Midway&& midway) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    fprintf(stderr, "Verrick: cannot open the report file %s: %s\n", path, strerror(errno));
    return false;
  }
  if (!Lock(fd)) {
    fprintf(stderr, "Verrick: the report file %s is in use\n", path);
    close(fd);
    return false;
  }
  const size_t half = report.size() / 2;
  bool written = ftruncate(fd, 0) == 0 && WriteAll(fd, report.data(), half);
  midway();
  written = written && WriteAll(fd, report.data() + half, report.size() - half);
  written = close(fd) == 0 && written;
  if (!written) fprintf(stderr, "Verrick: cannot write the report file %s\n", path);
  return written;
}

#endif  // _WIN32

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "Usage: Verrick <SMTP address> <display name> <report file>\n");
    return 2;
  }
  const std::string smtpAddress = argv[1];
  const std::string displayName = argv[2];

  std::string report;
  VerrickMailbox plan;  // how Verrick behaves for this mailbox; by default it just reports
  try {
    const emulation::Organisation organisation = ReadOrganisation(smtpAddress);
    report = verrick::CheckWebServices(organisation, smtpAddress, displayName);
    if (const VerrickMailbox* planned = organisation.verrick.FindMailbox(smtpAddress)) plan = *planned;
  } catch (const emulation::OrganisationError& error) {
    report = verrick::OrganisationFailureReport(smtpAddress, displayName, error.what());
  }
  if (plan.reportBytes) report = *plan.reportBytes;
  if (plan.reportSize) report = verrick::ToSize(report, *plan.reportSize);
  if (plan.report == VerrickReport::Empty) report.clear();

  const auto hang = [&](VerrickHang point) {
    if (plan.hangSeconds > 0 && plan.hangWhile == point)
      std::this_thread::sleep_for(std::chrono::duration<double>(plan.hangSeconds));
  };
  hang(VerrickHang::Starting);
  if (plan.report == VerrickReport::None) return 1;
  const bool written = WriteReport(argv[3], report, [&] { hang(VerrickHang::Writing); });
  hang(VerrickHang::Finished);
  return written ? 0 : 1;
}
