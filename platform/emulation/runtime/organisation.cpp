#include "platform/emulation/runtime/organisation.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "platform/emulation/runtime/fault_points.h"

namespace emulation {

const AddressEntry* Organisation::FindEntry(std::string_view key) const {
  for (const AddressEntry& entry : addressBook)
    if (entry.key == key) return &entry;
  return nullptr;
}

namespace {

using Json = nlohmann::json;

[[noreturn]] void Fail(const std::string& field, const std::string& problem) {
  throw OrganisationError(field + ": " + problem);
}

// The members of one JSON object, each taken at most once; members left
// over are reported as unknown, so that a misspelt field is not ignored.
class Members {
 public:
  Members(const Json& object, std::string path) : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) Fail(Where(), "expected an object");
  }

  std::string Field(const char* name) const { return path_.empty() ? name : path_ + "." + name; }

  const Json* Find(const char* name) {
    taken_.emplace_back(name);
    const auto found = object_.find(name);
    return found == object_.end() ? nullptr : &*found;
  }

  std::optional<std::string> OptionalString(const char* name) {
    const Json* value = Find(name);
    if (value == nullptr) return std::nullopt;
    if (!value->is_string()) Fail(Field(name), "expected a string");
    return value->get<std::string>();
  }

  std::string RequiredString(const char* name) {
    auto value = OptionalString(name);
    if (!value) Fail(Field(name), "missing");
    if (value->empty()) Fail(Field(name), "must not be empty");
    return *value;
  }

  std::optional<bool> OptionalBool(const char* name) {
    const Json* value = Find(name);
    if (value == nullptr) return std::nullopt;
    if (!value->is_boolean()) Fail(Field(name), "expected true or false");
    return value->get<bool>();
  }

  const Json* OptionalArray(const char* name) {
    const Json* value = Find(name);
    if (value != nullptr && !value->is_array()) Fail(Field(name), "expected an array");
    return value;
  }

  void CheckNoOthers() const {
    for (const auto& [name, value] : object_.items())
      if (std::find(taken_.begin(), taken_.end(), name) == taken_.end()) Fail(Field(name.c_str()), "unknown field");
  }

 private:
  std::string Where() const { return path_.empty() ? "the organisation" : path_; }

  const Json& object_;
  std::string path_;
  std::vector<std::string> taken_;
};

std::string Indexed(const std::string& field, size_t index) { return field + "[" + std::to_string(index) + "]"; }

HRESULT ReadStatus(const Json& value, const std::string& field) {
  if (value.is_number_integer()) {
    const int64_t number = value.get<int64_t>();
    if (number < INT32_MIN || number > int64_t{UINT32_MAX}) Fail(field, "out of the 32-bit range");
    return static_cast<HRESULT>(static_cast<uint32_t>(number));
  }
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    const bool hex = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                     std::all_of(text.begin() + 2, text.end(), [](char c) { return std::isxdigit(c) != 0; });
    if (hex) return static_cast<HRESULT>(static_cast<uint32_t>(std::stoul(text.substr(2), nullptr, 16)));
  }
  Fail(field, "expected a status such as \"0x80040111\" or a number");
}

StoreDefinition ReadStore(const Json& json, const std::string& path) {
  Members members(json, path);
  StoreDefinition store;
  store.displayName = members.OptionalString("displayName");
  store.isDefault = members.OptionalBool("default");
  store.exchange = members.OptionalBool("exchange").value_or(true);
  members.CheckNoOthers();
  return store;
}

ProfileDefinition ReadProfile(const Json& json, const std::string& path) {
  Members members(json, path);
  ProfileDefinition profile;
  profile.name = members.RequiredString("name");
  profile.isDefault = members.OptionalBool("default").value_or(false);
  profile.identity = members.RequiredString("identity");
  if (const Json* stores = members.OptionalArray("stores"))
    for (size_t i = 0; i < stores->size(); ++i)
      profile.stores.push_back(ReadStore((*stores)[i], Indexed(members.Field("stores"), i)));
  members.CheckNoOthers();
  return profile;
}

AddressEntry ReadAddressEntry(const Json& json, const std::string& path) {
  Members members(json, path);
  AddressEntry entry;
  entry.key = members.RequiredString("key");
  entry.displayName = members.OptionalString("displayName");
  entry.addressType = members.OptionalString("addressType");
  entry.emailAddress = members.OptionalString("emailAddress");
  entry.homeMdb = members.OptionalString("homeMdb");
  if (const Json* proxies = members.OptionalArray("proxyAddresses")) {
    entry.proxyAddresses.emplace();
    for (size_t i = 0; i < proxies->size(); ++i) {
      if (!(*proxies)[i].is_string()) Fail(Indexed(members.Field("proxyAddresses"), i), "expected a string");
      entry.proxyAddresses->push_back((*proxies)[i].get<std::string>());
    }
  }
  members.CheckNoOthers();
  return entry;
}

Fault ReadFault(const Json& json, const std::string& path) {
  Members members(json, path);
  Fault fault;
  fault.operation = members.RequiredString("operation");
  if (FindFaultPoint(fault.operation) == nullptr)
    Fail(members.Field("operation"), "no platform operation is named \"" + fault.operation + "\"");
  if (const Json* occurrence = members.Find("occurrence")) {
    if (!occurrence->is_number_unsigned() || occurrence->get<uint64_t>() < 1 ||
        occurrence->get<uint64_t>() > UINT32_MAX)
      Fail(members.Field("occurrence"), "expected a whole number from 1");
    fault.occurrence = occurrence->get<unsigned>();
  }
  const Json* status = members.Find("status");
  if (status == nullptr) Fail(members.Field("status"), "missing");
  fault.status = ReadStatus(*status, members.Field("status"));
  fault.source = members.OptionalString("source");
  fault.description = members.OptionalString("description");
  if (const Json* valueError = members.Find("valueError"))
    fault.valueError = ReadStatus(*valueError, members.Field("valueError"));
  members.CheckNoOthers();
  return fault;
}

}  // namespace

Organisation ParseOrganisation(std::string_view text) {
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    // The library's message names the line and column.
    throw OrganisationError(std::string("not valid JSON: ") + error.what());
  }
  Members members(root, "");
  Organisation organisation;
  if (const Json* profiles = members.OptionalArray("profiles"))
    for (size_t i = 0; i < profiles->size(); ++i)
      organisation.profiles.push_back(ReadProfile((*profiles)[i], Indexed("profiles", i)));
  if (const Json* entries = members.OptionalArray("addressBook"))
    for (size_t i = 0; i < entries->size(); ++i)
      organisation.addressBook.push_back(ReadAddressEntry((*entries)[i], Indexed("addressBook", i)));
  if (const Json* directory = members.Find("directory")) {
    Members directoryMembers(*directory, "directory");
    organisation.directory.adsiProvider = directoryMembers.OptionalBool("adsiProvider").value_or(true);
    directoryMembers.CheckNoOthers();
  }
  if (const Json* faults = members.OptionalArray("faults"))
    for (size_t i = 0; i < faults->size(); ++i)
      organisation.faults.push_back(ReadFault((*faults)[i], Indexed("faults", i)));
  organisation.verrick = ReadVerrickSettings(members.Find("verrick"));
  organisation.waitScale = ReadWaitScale(members.Find("waitScale"));
  members.CheckNoOthers();

  // References between sections.
  for (size_t i = 0; i < organisation.addressBook.size(); ++i)
    for (size_t k = 0; k < i; ++k)
      if (organisation.addressBook[k].key == organisation.addressBook[i].key)
        Fail(Indexed("addressBook", i) + ".key", "\"" + organisation.addressBook[i].key + "\" is used twice");
  for (size_t i = 0; i < organisation.profiles.size(); ++i) {
    const ProfileDefinition& profile = organisation.profiles[i];
    if (organisation.FindEntry(profile.identity) == nullptr)
      Fail(Indexed("profiles", i) + ".identity", "no address-book entry has the key \"" + profile.identity + "\"");
    for (size_t k = 0; k < i; ++k)
      if (organisation.profiles[k].name == profile.name)
        Fail(Indexed("profiles", i) + ".name", "\"" + profile.name + "\" is used twice");
  }
  return organisation;
}

}  // namespace emulation
