// The emulation's ledger of what the tool holds of the platform (live
// interfaces, MAPI blocks, strings, local and directory memory, handles)
// and its journal: every platform call and every release, in one order.
// A run that releases everything it acquired, each once, ends with the
// ledger empty; a release of something not held is a violation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace emulation {

enum class Resource { Interface, MapiBlock, String, LocalMemory, DirectoryMemory, Handle, SafeArray };

// What the emulation keeps of a run for inspection after it.
enum class Retention {
  // The journal of every call and release, and every object the run
  // handed out, so that a call on one after its last release is caught
  // however late it comes: what tests read.
  Everything,
  // No journal, and of the released objects only the most recent ones
  // (kRecentlyReleasedObjects), so that a long run's memory stays flat:
  // for the tool run from the command line, which nobody inspects.
  Recent,
};
inline constexpr size_t kRecentlyReleasedObjects = 16384;

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

  // Journal entries, composed only when the journal is kept: a call, and
  // a release of a held item that stays held (a count still above zero).
  void RecordCall(std::string_view operation, const std::string& arguments);
  void RecordRelease(const char* operation, Resource kind, const void* item);
  // A misuse of the platform that the platform itself would not survive
  // or would not notice: reported at once on standard error.
  void Violation(std::string description);

  // One line per live item, oldest first.
  std::vector<std::string> Live() const;
  std::vector<std::string> Violations() const { return violations_; }
  std::vector<Event> Journal() const { return journal_; }
  // Whether calls and releases go into the journal; the ledger of what is
  // held is always kept.
  void KeepJournal(bool keep) { keepJournal_ = keep; }
  // Forgets everything: a new run starts.
  void Reset();

 private:
  struct Entry {
    Resource kind;
    const void* item;
    std::string what;
  };
  struct Key {
    Resource kind;
    const void* item;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const {
      return std::hash<const void*>()(key.item) ^ (static_cast<size_t>(key.kind) * 0x9E3779B97F4A7C15u);
    }
  };
  const Entry* Find(Resource kind, const void* item) const;
  // "kind what", as the journal and the list of live items name an item.
  static std::string LineOf(const Entry& entry);

  // Oldest first, and found by hash: a run may hold thousands of items
  // (the picked rows) while it acquires and releases many more.
  std::list<Entry> live_;
  // Per item its entries, oldest first (the platform never hands out one
  // item twice while it is held, but a faulty emulation could).
  std::unordered_map<Key, std::vector<std::list<Entry>::iterator>, KeyHash> liveIndex_;
  std::vector<std::string> violations_;
  std::vector<Event> journal_;
  bool keepJournal_ = true;
};

const char* ResourceName(Resource kind);

}  // namespace emulation
