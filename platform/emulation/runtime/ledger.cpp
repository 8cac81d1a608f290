#include "platform/emulation/runtime/ledger.h"

#include <algorithm>
#include <cstdio>

namespace emulation {

namespace {

const char* KindName(Resource kind) {
  switch (kind) {
    case Resource::Interface:
      return "interface";
    case Resource::MapiBlock:
      return "MAPI block";
    case Resource::String:
      return "BSTR";
    case Resource::LocalMemory:
      return "local memory";
    case Resource::DirectoryMemory:
      return "directory memory";
    case Resource::Handle:
      return "handle";
  }
  return "resource";
}

}  // namespace

Ledger& Ledger::Instance() {
  static Ledger ledger;
  return ledger;
}

void Ledger::Acquire(Resource kind, const void* item, std::string what) {
  live_.push_back({kind, item, std::move(what), nextSerial_++});
}

bool Ledger::Release(Resource kind, const void* item, const char* operation) {
  const auto found =
      std::find_if(live_.begin(), live_.end(), [&](const Entry& e) { return e.kind == kind && e.item == item; });
  if (found != live_.end()) {
    history_.push_back(std::string(operation) + " " + KindName(kind) + " " + found->what);
    live_.erase(found);
    return true;
  }
  char line[160];
  snprintf(line, sizeof line, "%s of something not held (%s at %p)", operation, KindName(kind), item);
  violations_.emplace_back(line);
  fprintf(stderr, "emulated platform: ledger: %s\n", line);
  return false;
}

bool Ledger::Holds(Resource kind, const void* item) const {
  return std::any_of(live_.begin(), live_.end(), [&](const Entry& e) { return e.kind == kind && e.item == item; });
}

std::vector<std::string> Ledger::Live() const {
  std::vector<std::string> lines;
  for (const Entry& e : live_) lines.push_back(std::string(KindName(e.kind)) + " " + e.what);
  return lines;
}

std::vector<std::string> Ledger::Violations() const { return violations_; }

void Ledger::Note(std::string event) { history_.push_back(std::move(event)); }

std::vector<std::string> Ledger::History() const { return history_; }

void Ledger::Reset() {
  live_.clear();
  violations_.clear();
  history_.clear();
}

}  // namespace emulation
