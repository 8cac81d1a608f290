// Where, in one organisation text, Verrick finds what it reads for each
// mailbox. A web services server has its mailboxes indexed; the emulated
// platform makes the index when it loads the organisation file and shares
// it with the processes the tool starts, so that a Verrick process reads
// its mailbox's few elements rather than passing over the whole file. An
// index is used only with the version of the file it was made from, and
// whatever it points at is read and checked as without it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/emulation/runtime/organisation.h"

namespace emulation {

// The index of text, which is the file of that identity
// (OrganisationFile::identity): the positions of the "verrick" section, of
// its mailboxes array and of the wait scale, and of every address-book
// and Verrick mailbox element by the address it is found by. Empty when
// the index cannot be made: text that Verrick's view would refuse for
// some address (ReadWebServicesView then says why).
std::string BuildWebServicesIndex(std::string_view text, std::string_view identity);

// What ReadWebServicesView(text, smtpAddress) gives, read through index;
// nullopt when index was not made from this identity of the text, or
// anything about it does not fit the text: the view without an index is
// then the one to read.
std::optional<Organisation> ReadIndexedWebServicesView(std::string_view text, std::string_view identity,
                                                       std::string_view index, std::string_view smtpAddress);

// The name of the environment variable that tells a process started by
// the tool where the index is.
inline constexpr const char kWebServicesIndexVariable[] = "CALDROSE_WEB_SERVICES_INDEX";

// The tool's side: shares an index with the processes started while this
// object lives, through a sealed memory file that they inherit and the
// environment variable; withdraws both when destroyed. Where the platform
// has no such file (Windows), it shares nothing.
class SharedWebServicesIndex {
 public:
  SharedWebServicesIndex() = default;
  explicit SharedWebServicesIndex(std::string_view index);
  ~SharedWebServicesIndex();
  SharedWebServicesIndex(SharedWebServicesIndex&& other) noexcept;
  SharedWebServicesIndex& operator=(SharedWebServicesIndex&& other) noexcept;
  SharedWebServicesIndex(const SharedWebServicesIndex&) = delete;
  SharedWebServicesIndex& operator=(const SharedWebServicesIndex&) = delete;

  bool shared() const { return fd_ >= 0; }

 private:
  void Withdraw();
  int fd_ = -1;
};

// Verrick's side: the index its parent shares, mapped; empty text when
// there is none, or when what the variable names is not a sealed memory
// file.
class InheritedWebServicesIndex {
 public:
  InheritedWebServicesIndex();
  ~InheritedWebServicesIndex();
  InheritedWebServicesIndex(const InheritedWebServicesIndex&) = delete;
  InheritedWebServicesIndex& operator=(const InheritedWebServicesIndex&) = delete;

  std::string_view text() const { return text_; }

 private:
  void* mapping_ = nullptr;
  size_t size_ = 0;
  std::string_view text_;
};

}  // namespace emulation
