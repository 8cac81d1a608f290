#include "platform/emulation/runtime/ledger.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace emulation {

const char* ResourceName(Resource kind) {
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
    case Resource::SafeArray:
      return "SAFEARRAY";
  }
  return "resource";
}

Event Call(std::string operation, std::string arguments) {
  return {Event::Kind::Call, std::move(operation), std::move(arguments)};
}

Event Released(std::string operation, std::string what) {
  return {Event::Kind::Release, std::move(operation), std::move(what)};
}

std::ostream& operator<<(std::ostream& out, const Event& event) {
  if (event.kind == Event::Kind::Call) return out << event.operation << "(" << event.detail << ")";
  return out << event.operation << " " << event.detail;
}

Ledger& Ledger::Instance() {
  static auto* ledger = new Ledger();  // outlives every static
  return *ledger;
}

void Ledger::Acquire(Resource kind, const void* item, std::string what) {
  live_.push_back({kind, item, std::move(what)});
  liveIndex_[{kind, item}].push_back(std::prev(live_.end()));
}

const Ledger::Entry* Ledger::Find(Resource kind, const void* item) const {
  const auto found = liveIndex_.find({kind, item});
  return found == liveIndex_.end() ? nullptr : &*found->second.front();
}

bool Ledger::Release(Resource kind, const void* item, const char* operation) {
  const auto found = liveIndex_.find({kind, item});
  if (found != liveIndex_.end()) {
    const auto entry = found->second.front();
    if (keepJournal_) journal_.push_back(Released(operation, LineOf(*entry)));
    found->second.erase(found->second.begin());
    if (found->second.empty()) liveIndex_.erase(found);
    live_.erase(entry);
    return true;
  }
  char line[160];
  snprintf(line, sizeof line, "%s of something not held (%s at %p)", operation, ResourceName(kind), item);
  Violation(line);
  return false;
}

bool Ledger::Holds(Resource kind, const void* item) const { return Find(kind, item) != nullptr; }

std::string Ledger::WhatOf(Resource kind, const void* item) const {
  const Entry* entry = Find(kind, item);
  if (entry == nullptr) return {};
  return entry->what.empty() ? "?" : entry->what;
}

void Ledger::RecordCall(std::string_view operation, const std::string& arguments) {
  if (keepJournal_) journal_.push_back(Call(std::string(operation), arguments));
}

void Ledger::RecordRelease(const char* operation, Resource kind, const void* item) {
  if (!keepJournal_) return;
  const Entry* entry = Find(kind, item);
  journal_.push_back(Released(operation, entry != nullptr ? LineOf(*entry) : std::string(ResourceName(kind)) + " ?"));
}

std::string Ledger::LineOf(const Entry& entry) { return std::string(ResourceName(entry.kind)) + " " + entry.what; }

void Ledger::Violation(std::string description) {
  fprintf(stderr, "emulated platform: ledger: %s\n", description.c_str());
  violations_.push_back(std::move(description));
}

std::vector<std::string> Ledger::Live() const {
  std::vector<std::string> lines;
  for (const Entry& entry : live_) lines.push_back(LineOf(entry));
  return lines;
}

void Ledger::Reset() {
  live_.clear();
  liveIndex_.clear();
  violations_.clear();
  journal_.clear();
}

}  // namespace emulation
