// The emulation's ledger of what the tool holds of the platform: live
// interfaces, MAPI blocks, strings, local and directory memory, handles.
// A run that releases everything it acquired, each once, ends with the
// ledger empty; a release of something not held is a violation.
#pragma once

#include <string>
#include <vector>

namespace emulation {

enum class Resource { Interface, MapiBlock, String, LocalMemory, DirectoryMemory, Handle };

class Ledger {
 public:
  static Ledger& Instance();

  void Acquire(Resource kind, const void* item, std::string what);
  // Returns false, and records a violation, when item is not held.
  bool Release(Resource kind, const void* item, const char* operation);
  bool Holds(Resource kind, const void* item) const;

  // Notes a release that leaves the item held (a Release of an object that
  // keeps other references).
  void Note(std::string event);

  // One line per live item, oldest first.
  std::vector<std::string> Live() const;
  std::vector<std::string> Violations() const;
  // Every release, in order: the operation and what it released.
  std::vector<std::string> History() const;
  // Forgets everything: a new run starts.
  void Reset();

 private:
  struct Entry {
    Resource kind;
    const void* item;
    std::string what;
    unsigned long long serial;
  };
  std::vector<Entry> live_;
  std::vector<std::string> violations_;
  std::vector<std::string> history_;
  unsigned long long nextSerial_ = 1;
};

}  // namespace emulation
