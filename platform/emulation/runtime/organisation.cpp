#include "platform/emulation/runtime/organisation.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/fault_points.h"
#include "platform/emulation/runtime/organisation_reader.h"

namespace emulation {

struct Organisation::Index {
  size_t entries = 0;  // the size of the address book it was built for
  std::unordered_map<std::string, size_t> byKey;
  std::unordered_map<std::string, size_t> byMailboxDn;  // in lower case; the first entry with a mailbox
};

void Organisation::BuildIndex() {
  auto built = std::make_shared<Index>();
  built->entries = addressBook.size();
  for (size_t i = 0; i < addressBook.size(); ++i) {
    const AddressEntry& entry = addressBook[i];
    built->byKey.emplace(entry.key, i);
    if (entry.emailAddress && entry.homeMdb) built->byMailboxDn.emplace(LowerCase(*entry.emailAddress), i);
  }
  index = std::move(built);
}

const AddressEntry* Organisation::FindEntry(std::string_view key) const {
  if (index && index->entries == addressBook.size()) {
    const auto found = index->byKey.find(std::string(key));
    if (found == index->byKey.end()) return nullptr;
    if (addressBook[found->second].key == key) return &addressBook[found->second];
  }
  for (const AddressEntry& entry : addressBook)
    if (entry.key == key) return &entry;
  return nullptr;
}

const AddressEntry* Organisation::FindEntryByMailboxDn(std::string_view dn) const {
  if (index && index->entries == addressBook.size()) {
    const auto found = index->byMailboxDn.find(LowerCase(dn));
    if (found == index->byMailboxDn.end()) return nullptr;
    const AddressEntry& entry = addressBook[found->second];
    if (entry.emailAddress && entry.homeMdb && SameText(*entry.emailAddress, dn)) return &entry;
  }
  for (const AddressEntry& entry : addressBook)
    if (entry.emailAddress && entry.homeMdb && SameText(*entry.emailAddress, dn)) return &entry;
  return nullptr;
}

const ServerDefinition* Organisation::FindServer(std::string_view name) const {
  for (const ServerDefinition& server : servers)
    if (SameText(server.name, name)) return &server;
  return nullptr;
}

const ServerDefinition* Organisation::FindServerOf(std::string_view databaseDn,
                                                   const DatabaseDefinition** database) const {
  for (const ServerDefinition& server : servers)
    for (const DatabaseDefinition& candidate : server.databases)
      if (SameText(candidate.dn, databaseDn)) {
        if (database != nullptr) *database = &candidate;
        return &server;
      }
  return nullptr;
}

std::string_view SmtpAddressOf(std::string_view proxyAddress) {
  constexpr std::string_view kPrefix = "smtp:";
  if (proxyAddress.size() <= kPrefix.size() || !SameText(proxyAddress.substr(0, kPrefix.size()), kPrefix)) return {};
  return proxyAddress.substr(kPrefix.size());
}

bool HasSmtpProxyAddress(const AddressEntry& entry, std::string_view smtpAddress) {
  if (!entry.proxyAddresses) return false;
  for (const std::string_view proxy : *entry.proxyAddresses) {
    const std::string_view address = SmtpAddressOf(proxy);
    if (!address.empty() && SameText(address, smtpAddress)) return true;
  }
  return false;
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

std::vector<std::string> ReadStrings(const Json* array, const std::string& field) {
  std::vector<std::string> strings;
  if (array == nullptr) return strings;
  for (size_t i = 0; i < array->size(); ++i) {
    if (!(*array)[i].is_string()) Fail(Indexed(field, i), "expected a string");
    strings.push_back((*array)[i].get<std::string>());
  }
  return strings;
}

FolderDefinition ReadFolder(const Json& json, const std::string& path) {
  Members members(json, path);
  FolderDefinition folder;
  folder.name = members.RequiredString("name");
  if (const Json* subfolders = members.OptionalArray("subfolders"))
    for (size_t i = 0; i < subfolders->size(); ++i)
      folder.subfolders.push_back(ReadFolder((*subfolders)[i], Indexed(members.Field("subfolders"), i)));
  members.CheckNoOthers();
  return folder;
}

MailboxDefinition ReadMailbox(const Json& json, const std::string& path) {
  Members members(json, path);
  MailboxDefinition mailbox;
  if (auto name = members.OptionalString("calendarName")) mailbox.calendarName = *name;
  if (const Json* folders = members.OptionalArray("folders"))
    for (size_t i = 0; i < folders->size(); ++i)
      mailbox.folders.push_back(ReadFolder((*folders)[i], Indexed(members.Field("folders"), i)));
  mailbox.allowsCreate = members.OptionalBool("allowsCreate").value_or(true);
  mailbox.allowsDelete = members.OptionalBool("allowsDelete").value_or(true);
  members.CheckNoOthers();
  return mailbox;
}

ServerDefinition ReadServer(const Json& json, const std::string& path) {
  Members members(json, path);
  ServerDefinition server;
  server.name = members.RequiredString("name");
  if (const Json* databases = members.OptionalArray("databases"))
    for (size_t i = 0; i < databases->size(); ++i) {
      Members database((*databases)[i], Indexed(members.Field("databases"), i));
      DatabaseDefinition definition;
      definition.dn = database.RequiredString("dn");
      definition.administrators =
          ReadStrings(database.OptionalArray("administrators"), database.Field("administrators"));
      database.CheckNoOthers();
      server.databases.push_back(std::move(definition));
    }
  members.CheckNoOthers();
  return server;
}

}  // namespace

AddressEntry ReadAddressEntry(const Json& json, const std::string& path) {
  Members members(json, path);
  AddressEntry entry;
  entry.key = members.RequiredString("key");
  entry.distributionList = members.Choice("kind", {"mailUser", "distributionList"}) == 1;
  entry.stale = members.OptionalBool("stale").value_or(false);
  if (const Json* mailbox = members.Find("mailbox")) entry.mailbox = ReadMailbox(*mailbox, members.Field("mailbox"));
  entry.displayName = members.OptionalString("displayName");
  entry.addressType = members.OptionalString("addressType");
  entry.emailAddress = members.OptionalString("emailAddress");
  entry.homeMdb = members.OptionalString("homeMdb");
  if (const Json* proxies = members.OptionalArray("proxyAddresses"))
    entry.proxyAddresses = ReadStrings(proxies, members.Field("proxyAddresses"));
  members.CheckNoOthers();
  return entry;
}

namespace {

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
  if (const Json* wCode = members.Find("wCode")) {
    const HRESULT code =
        wCode->is_string() || wCode->is_number_integer() ? ReadStatus(*wCode, members.Field("wCode")) : 0;
    if (code < 1 || code > 0xFFFF)
      Fail(members.Field("wCode"), "expected a 16-bit code from 1 to 0xFFFF, such as \"0xFE00\"");
    fault.wCode = static_cast<WORD>(code);
  }
  fault.deferredFillIn = members.OptionalBool("deferredFillIn").value_or(false);
  members.CheckNoOthers();
  return fault;
}

// The JSON reader keeps the last of two members with the same name; a file
// that names a field twice is refused instead, so that neither value is
// silently lost. Nesting is bounded, so that no shape of file costs more
// than its size. Each open container keeps only its own key or index: the
// field path is put together only for an error.
class CheckedReading {
 public:
  CheckedReading(std::string_view path, int depth) : path_(path), depth_(depth) {}

  bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (depth_ + depth >= kDeepestNesting)
          Fail(ChildPath(), "nested deeper than " + std::to_string(kDeepestNesting) + " levels");
        containers_.push_back({event == Json::parse_event_t::object_start, {}, 0, {}});
        break;
      case Json::parse_event_t::key: {
        Container& object = containers_.back();
        object.key = parsed.get<std::string>();
        if (!object.keys.insert(object.key).second) Fail(ChildPath(), "given more than once");
        break;
      }
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        containers_.pop_back();
        if (!containers_.empty() && !containers_.back().isObject) ++containers_.back().index;
        break;
      case Json::parse_event_t::value:
        if (!containers_.empty() && !containers_.back().isObject) ++containers_.back().index;
        break;
    }
    return true;
  }

 private:
  struct Container {
    bool isObject;
    std::set<std::string> keys;
    size_t index;     // arrays: the element being read
    std::string key;  // objects: the member being read
  };

  // The path of the value being read in the innermost container.
  std::string ChildPath() const {
    std::string path(path_);
    for (const Container& container : containers_) {
      if (!container.isObject) {
        path += "[" + std::to_string(container.index) + "]";
        continue;
      }
      if (!path.empty()) path += ".";
      path += container.key;
    }
    return path.empty() ? "the organisation" : path;
  }

  std::string_view path_;
  int depth_;
  std::vector<Container> containers_;
};

}  // namespace

Json ParseCheckedJson(std::string_view text, std::string_view path, int depth) {
  // The JSON library takes a NUL byte for the end of the text, which would
  // let whatever follows one pass unread.
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
    const size_t lineStart = text.rfind('\n', nul);
    const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + nul, '\n')) + 1;
    const size_t column = nul - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
    throw OrganisationError("not valid JSON: a NUL byte at line " + std::to_string(line) + ", column " +
                            std::to_string(column));
  }
  try {
    return Json::parse(text, CheckedReading(path, depth));
  } catch (const Json::exception& error) {
    // A syntax error, or a number too large for any type (which the library
    // reports as out of range): the message names where.
    throw OrganisationError(std::string("not valid JSON: ") + error.what());
  }
}

Organisation ParseOrganisation(std::string_view text) {
  const Json root = ParseCheckedJson(text, "", 0);
  Members members(root, "");
  Organisation organisation;
  if (const Json* profiles = members.OptionalArray("profiles"))
    for (size_t i = 0; i < profiles->size(); ++i)
      organisation.profiles.push_back(ReadProfile((*profiles)[i], Indexed("profiles", i)));
  if (const Json* entries = members.OptionalArray("addressBook"))
    for (size_t i = 0; i < entries->size(); ++i)
      organisation.addressBook.push_back(ReadAddressEntry((*entries)[i], Indexed("addressBook", i)));
  if (const Json* servers = members.OptionalArray("servers"))
    for (size_t i = 0; i < servers->size(); ++i)
      organisation.servers.push_back(ReadServer((*servers)[i], Indexed("servers", i)));
  if (const Json* cdo = members.Find("cdo")) {
    Members cdoMembers(*cdo, "cdo");
    organisation.cdo.registered = cdoMembers.OptionalBool("registered").value_or(true);
    cdoMembers.CheckNoOthers();
  }
  if (const Json* directory = members.Find("directory")) {
    organisation.directory = ReadDirectory(*directory, "directory");
  }
  if (const Json* faults = members.OptionalArray("faults"))
    for (size_t i = 0; i < faults->size(); ++i)
      organisation.faults.push_back(ReadFault((*faults)[i], Indexed("faults", i)));
  organisation.verrick = ReadVerrickSettings(members.Find("verrick"));
  organisation.waitScale = ReadWaitScale(members.Find("waitScale"));
  members.CheckNoOthers();

  // References between sections.
  std::unordered_set<std::string_view> keys;
  for (size_t i = 0; i < organisation.addressBook.size(); ++i)
    if (!keys.insert(organisation.addressBook[i].key).second)
      Fail(Indexed("addressBook", i) + ".key", "\"" + organisation.addressBook[i].key + "\" is used twice");
  organisation.BuildIndex();
  for (size_t i = 0; i < organisation.profiles.size(); ++i) {
    const ProfileDefinition& profile = organisation.profiles[i];
    if (organisation.FindEntry(profile.identity) == nullptr)
      Fail(Indexed("profiles", i) + ".identity", "no address-book entry has the key \"" + profile.identity + "\"");
    for (size_t k = 0; k < i; ++k)
      if (organisation.profiles[k].name == profile.name)
        Fail(Indexed("profiles", i) + ".name", "\"" + profile.name + "\" is used twice");
  }
  for (size_t i = 0; i < organisation.servers.size(); ++i) {
    const ServerDefinition& server = organisation.servers[i];
    for (size_t k = 0; k < i; ++k)
      if (SameText(organisation.servers[k].name, server.name))
        Fail(Indexed("servers", i) + ".name", "\"" + server.name + "\" is used twice");
    for (size_t d = 0; d < server.databases.size(); ++d) {
      const std::string field = Indexed(Indexed("servers", i) + ".databases", d);
      const DatabaseDefinition& database = server.databases[d];
      const DatabaseDefinition* first = nullptr;
      organisation.FindServerOf(database.dn, &first);
      if (first != &database) Fail(field + ".dn", "\"" + database.dn + "\" is used twice");
      for (size_t a = 0; a < database.administrators.size(); ++a) {
        const std::string& administrator = database.administrators[a];
        const auto& groups = organisation.directory.groups;
        const bool isGroup = std::any_of(groups.begin(), groups.end(),
                                         [&](const DirectoryGroup& group) { return group.name == administrator; });
        if (organisation.FindEntry(administrator) == nullptr && !isGroup)
          Fail(Indexed(field + ".administrators", a),
               "neither an address-book key nor a directory group is named \"" + administrator + "\"");
      }
    }
  }
  return organisation;
}

}  // namespace emulation
