// The emulation's ledger of what the tool holds of the platform (live
// interfaces, MAPI blocks, strings, local and directory memory, handles)
// and its journal: every platform call and every release, in one order.
// A run that releases everything it acquired, each once, ends with the
// ledger empty; a release of something not held is a violation.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace emulation {

enum class Resource { Interface, MapiBlock, String, LocalMemory, DirectoryMemory, Handle, SafeArray };

// One entry of the journal.
struct Event {
  enum class Kind {
    Call,     // a platform call: operation and its arguments
    Release,  // a release or free: operation and what it released
  };
  Kind kind;
  std::string operation;
  std::string detail;

  bool operator==(const Event&) const = default;
};

Event Call(std::string operation, std::string arguments = {});
Event Released(std::string operation, std::string what);
std::ostream& operator<<(std::ostream& out, const Event& event);

class Ledger {
 public:
  static Ledger& Instance();

  void Acquire(Resource kind, const void* item, std::string what);
  // Returns false, and records a violation, when item is not held.
  bool Release(Resource kind, const void* item, const char* operation);
  bool Holds(Resource kind, const void* item) const;
  // What the ledger calls a held item, empty when it is not held.
  std::string WhatOf(Resource kind, const void* item) const;

  void RecordCall(std::string operation, std::string arguments);
  void RecordRelease(std::string operation, std::string what);
  // A misuse of the platform that the platform itself would not survive
  // or would not notice: reported at once on standard error.
  void Violation(std::string description);

  // One line per live item, oldest first.
  std::vector<std::string> Live() const;
  std::vector<std::string> Violations() const { return violations_; }
  std::vector<Event> Journal() const { return journal_; }
  // Forgets everything: a new run starts.
  void Reset();

 private:
  struct Entry {
    Resource kind;
    const void* item;
    std::string what;
  };
  std::vector<Entry> live_;
  std::vector<std::string> violations_;
  std::vector<Event> journal_;
};

const char* ResourceName(Resource kind);

}  // namespace emulation
