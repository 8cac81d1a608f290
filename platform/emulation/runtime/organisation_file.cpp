#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/emulation/runtime/organisation.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace emulation {

namespace {

#ifdef _WIN32
constexpr int kReadFlags = O_RDONLY | O_BINARY;
#else
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC;
#endif

}  // namespace

OrganisationFile::OrganisationFile(const std::string& path, Reading reading)
    : name_("organisation file '" + path + "'") {
  const auto cannotBeRead = [&](int error) {
    return OrganisationError(name_ + ": cannot be read: " + strerror(error));
  };
  const int fd = open(path.c_str(), kReadFlags);
  if (fd < 0) {
    // Windows refuses to open a directory at all: it is named as such there
    // too.
    const int error = errno;
    struct stat status {};
    throw cannotBeRead(stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? EISDIR : error);
  }
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    close(fd);
    throw cannotBeRead(error);
  }
  if (S_ISDIR(status.st_mode)) {
    close(fd);
    throw cannotBeRead(EISDIR);
  }
#ifndef _WIN32
  if (S_ISREG(status.st_mode)) {
    // Nanoseconds: a file rewritten within the same second is another version.
    const auto nanoseconds = [](const timespec& time) {
      return std::to_string(time.tv_sec) + "." + std::to_string(time.tv_nsec);
    };
    identity_ = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) + ":" +
                std::to_string(status.st_size) + ":" + nanoseconds(status.st_mtim) + ":" + nanoseconds(status.st_ctim);
  }
  // Verrick reads the file once per mailbox: a mapping spares it copying
  // the whole organisation each time. What is read whole is mapped at once
  // rather than a fault at a time.
  if (S_ISREG(status.st_mode) && status.st_size > 0) {
    const int populate = reading == Reading::Whole ? MAP_POPULATE : 0;
    void* mapping = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE | populate, fd, 0);
    if (mapping != MAP_FAILED) {
      close(fd);
      mapping_ = mapping;
      mappedSize_ = static_cast<size_t>(status.st_size);
      text_ = std::string_view(static_cast<const char*>(mapping), mappedSize_);
      return;
    }
  }
#else
  (void)reading;  // the file is read whole
#endif
  // Other files (a pipe, a file that cannot be mapped) are read whole.
  char buffer[65536];
  for (;;) {
    const auto got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      throw cannotBeRead(error);
    }
    if (got == 0) break;
    copy_.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  if (copy_.empty()) throw OrganisationError(name_ + ": is empty");
  text_ = copy_;
}

OrganisationFile::~OrganisationFile() {
#ifndef _WIN32
  if (mapping_ != nullptr) munmap(mapping_, mappedSize_);
#endif
}

}  // namespace emulation
