#include "platform/emulation/runtime/organisation.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "platform/emulation/runtime/fault_points.h"
#include "platform/emulation/runtime/organisation_reader.h"

namespace emulation {

const AddressEntry* Organisation::FindEntry(std::string_view key) const {
  for (const AddressEntry& entry : addressBook)
    if (entry.key == key) return &entry;
  return nullptr;
}

namespace {

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
    organisation.directory = ReadDirectory(*directory, "directory");
  }
  if (const Json* faults = members.OptionalArray("faults"))
    for (size_t i = 0; i < faults->size(); ++i)
      organisation.faults.push_back(ReadFault((*faults)[i], Indexed("faults", i)));
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
