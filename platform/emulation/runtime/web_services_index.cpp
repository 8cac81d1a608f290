// How the tool's process shares the web services index with the processes
// it starts. On Linux: a memory file, sealed against change, that they
// inherit, named by its descriptor's number in the environment. Windows
// has no such file, and Verrick reads there without an index.
#include "platform/emulation/runtime/web_services_index.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#endif

#include <utility>

namespace emulation {

#ifndef _WIN32

namespace {

constexpr int kSeals = F_SEAL_SEAL | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

SharedWebServicesIndex::SharedWebServicesIndex(std::string_view index) {
  if (index.empty()) return;
  // Without MFD_CLOEXEC: the processes the tool starts inherit it.
  const int fd = memfd_create("caldrose web services index", MFD_ALLOW_SEALING);
  if (fd < 0) return;
  if (!WriteAll(fd, index) || fcntl(fd, F_ADD_SEALS, kSeals) != 0 ||
      setenv(kWebServicesIndexVariable, std::to_string(fd).c_str(), 1) != 0) {
    close(fd);
    return;
  }
  fd_ = fd;
}

void SharedWebServicesIndex::Withdraw() {
  if (fd_ < 0) return;
  // The variable may name a newer index by now.
  const char* variable = getenv(kWebServicesIndexVariable);
  if (variable != nullptr && variable == std::to_string(fd_)) unsetenv(kWebServicesIndexVariable);
  close(fd_);
  fd_ = -1;
}

InheritedWebServicesIndex::InheritedWebServicesIndex() {
  const char* variable = getenv(kWebServicesIndexVariable);
  if (variable == nullptr) return;
  const std::string_view number(variable);
  int fd = -1;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), fd);
  if (error != std::errc() || end != number.data() + number.size() || fd < 0) return;
  // Only the sealed memory file the tool made: a descriptor of that number
  // may be anything else in a process the tool did not start.
  struct stat status {};
  if (fcntl(fd, F_GET_SEALS) != kSeals || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
    return;
  void* mapping = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (mapping == MAP_FAILED) return;
  mapping_ = mapping;
  size_ = static_cast<size_t>(status.st_size);
  text_ = std::string_view(static_cast<const char*>(mapping), size_);
}

InheritedWebServicesIndex::~InheritedWebServicesIndex() {
  if (mapping_ != nullptr) munmap(mapping_, size_);
}

#else

SharedWebServicesIndex::SharedWebServicesIndex(std::string_view) {}

void SharedWebServicesIndex::Withdraw() {}

InheritedWebServicesIndex::InheritedWebServicesIndex() = default;

InheritedWebServicesIndex::~InheritedWebServicesIndex() = default;

#endif  // _WIN32

SharedWebServicesIndex::~SharedWebServicesIndex() { Withdraw(); }

SharedWebServicesIndex::SharedWebServicesIndex(SharedWebServicesIndex&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

SharedWebServicesIndex& SharedWebServicesIndex::operator=(SharedWebServicesIndex&& other) noexcept {
  if (this != &other) {
    Withdraw();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

}  // namespace emulation
