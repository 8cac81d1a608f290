// The directory section of the organisation file: naming context, domain
// controllers, users with their security descriptors, groups and the
// accounts that SIDs resolve to.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/organisation_reader.h"
#include "platform/emulation/runtime/sid.h"

namespace emulation {

namespace {

std::vector<std::string> ReadStrings(Members& members, const char* name) {
  std::vector<std::string> values;
  if (const Json* array = members.OptionalArray(name))
    for (size_t i = 0; i < array->size(); ++i) {
      const Json& value = (*array)[i];
      if (!value.is_string() || value.get<std::string>().empty())
        Fail(Indexed(members.Field(name), i), "expected a non-empty string");
      values.push_back(value.get<std::string>());
    }
  return values;
}

std::string RequiredSid(Members& members, const char* name) {
  const std::string text = members.RequiredString(name);
  if (!ParseSid(text)) Fail(members.Field(name), "\"" + text + "\" is not a SID such as \"S-1-5-21-1-2-3-500\"");
  return text;
}

// A 32-bit value given as a number or as "0x..." text.
LONG ReadMask(Members& members, const char* name, LONG fallback) {
  const Json* value = members.Find(name);
  if (value == nullptr) return fallback;
  return static_cast<LONG>(ReadStatus(*value, members.Field(name)));
}

bool IsGuidText(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != '-' : std::isxdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  }
  return true;
}

AccessEntryDefinition ReadAccessEntry(const Json& json, const std::string& path) {
  Members members(json, path);
  AccessEntryDefinition entry;
  if (const Json* type = members.Find("variantType")) {
    if (!type->is_number_unsigned() || type->get<uint64_t>() > 0xFFFF || type->get<uint64_t>() == 9)
      Fail(members.Field("variantType"), "expected a VARIANT type number other than 9 (VT_DISPATCH)");
    entry.variantType = type->get<unsigned short>();
    members.CheckNoOthers();  // an element that is not an entry has nothing else
    return entry;
  }
  entry.trustee = RequiredSid(members, "trustee");
  entry.aceType = ReadMask(members, "aceType", -1);
  if (entry.aceType < 0 || entry.aceType > 0xFF) Fail(members.Field("aceType"), "expected an ACE type from 0 to 255");
  entry.aceFlags = ReadMask(members, "aceFlags", 0);
  entry.flags = ReadMask(members, "flags", 0);
  entry.accessMask = ReadMask(members, "accessMask", 0);
  entry.objectType = members.OptionalString("objectType");
  if (entry.objectType && !IsGuidText(*entry.objectType))
    Fail(members.Field("objectType"), "expected a GUID such as \"{ab721a54-1e2f-11d0-9819-00aa0040529b}\"");
  members.CheckNoOthers();
  return entry;
}

std::shared_ptr<const AccessList> ReadAccessList(const Json& json, const std::string& path) {
  if (!json.is_array()) Fail(path, "expected an array of entries");
  auto list = std::make_shared<AccessList>();
  list->reserve(json.size());
  for (size_t i = 0; i < json.size(); ++i) list->push_back(ReadAccessEntry(json[i], Indexed(path, i)));
  return list;
}

DirectoryUser ReadUser(const Json& json, const std::string& path, const DirectoryDefinition& directory) {
  Members members(json, path);
  DirectoryUser user;
  user.name = members.RequiredString("name");
  user.dn = members.RequiredString("dn");
  if (auto category = members.OptionalString("objectCategory")) {
    if (category->empty()) Fail(members.Field("objectCategory"), "must not be empty");
    user.objectCategory = *category;
  }
  user.proxyAddresses = ReadStrings(members, "proxyAddresses");
  user.sid = RequiredSid(members, "sid");
  user.memberOf = ReadStrings(members, "memberOf");
  if (const Json* dacl = members.Find("dacl")) {
    if (dacl->is_string()) {
      // The name of one of the directory's shared lists.
      const auto shared = directory.sharedDacls.find(dacl->get<std::string>());
      if (shared == directory.sharedDacls.end())
        Fail(members.Field("dacl"), "no list in \"dacls\" is named \"" + dacl->get<std::string>() + "\"");
      user.dacl = shared->second;
    } else {
      user.dacl = ReadAccessList(*dacl, members.Field("dacl"));
    }
  }
  user.descriptorAsOctets = members.OptionalBool("descriptorAsOctets").value_or(false);
  members.CheckNoOthers();
  return user;
}

DirectoryGroup ReadGroup(const Json& json, const std::string& path) {
  Members members(json, path);
  DirectoryGroup group;
  group.name = members.RequiredString("name");
  group.sid = RequiredSid(members, "sid");
  group.memberOf = ReadStrings(members, "memberOf");
  members.CheckNoOthers();
  return group;
}

DirectoryAccount ReadAccount(const Json& json, const std::string& path) {
  Members members(json, path);
  DirectoryAccount account;
  account.sid = RequiredSid(members, "sid");
  account.domain = members.OptionalString("domain").value_or("");
  account.name = members.RequiredString("name");
  members.CheckNoOthers();
  return account;
}

bool EndsWithText(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && SameText(std::string_view(text).substr(text.size() - suffix.size()), suffix);
}

// The checks between users, groups and accounts.
void CheckReferences(const DirectoryDefinition& directory, const std::string& path) {
  std::map<std::string, std::string> names;  // name -> field that defines it
  std::map<Sid, std::string> sids;
  std::set<std::string> groupNames;
  std::set<std::string> dns;  // in lower case
  const auto claimName = [&](const std::string& name, const std::string& field) {
    if (!names.emplace(name, field).second) Fail(field, "\"" + name + "\" is used twice");
  };
  const auto claimSid = [&](const std::string& sid, const std::string& field) {
    if (!sids.emplace(*ParseSid(sid), field).second) Fail(field, "SID \"" + sid + "\" is used twice");
  };
  const std::string users = path + ".users", groups = path + ".groups", accounts = path + ".accounts";
  for (size_t i = 0; i < directory.groups.size(); ++i) {
    claimName(directory.groups[i].name, Indexed(groups, i) + ".name");
    claimSid(directory.groups[i].sid, Indexed(groups, i) + ".sid");
    groupNames.insert(directory.groups[i].name);
  }
  for (size_t i = 0; i < directory.users.size(); ++i) {
    const DirectoryUser& user = directory.users[i];
    claimName(user.name, Indexed(users, i) + ".name");
    claimSid(user.sid, Indexed(users, i) + ".sid");
    if (!directory.namingContext) Fail(path + ".namingContext", "missing: the directory has users");
    if (!EndsWithText(user.dn, "," + *directory.namingContext))
      Fail(Indexed(users, i) + ".dn", "\"" + user.dn + "\" is not under the naming context");
    if (!dns.insert(LowerCase(user.dn)).second) Fail(Indexed(users, i) + ".dn", "\"" + user.dn + "\" is used twice");
  }
  std::set<Sid> accountSids;
  for (size_t i = 0; i < directory.accounts.size(); ++i)
    if (!accountSids.insert(*ParseSid(directory.accounts[i].sid)).second)
      Fail(Indexed(accounts, i) + ".sid", "SID \"" + directory.accounts[i].sid + "\" is used twice");

  const auto checkMemberOf = [&](const std::vector<std::string>& memberOf, const std::string& field) {
    for (size_t k = 0; k < memberOf.size(); ++k)
      if (groupNames.count(memberOf[k]) == 0) Fail(Indexed(field, k), "no group is named \"" + memberOf[k] + "\"");
  };
  for (size_t i = 0; i < directory.groups.size(); ++i)
    checkMemberOf(directory.groups[i].memberOf, Indexed(groups, i) + ".memberOf");
  const auto checkTrustees = [&](const AccessList& list, const std::string& field) {
    for (size_t k = 0; k < list.size(); ++k) {
      const AccessEntryDefinition& entry = list[k];
      if (entry.variantType) continue;
      const Sid trustee = *ParseSid(entry.trustee);
      if (sids.count(trustee) == 0 && accountSids.count(trustee) == 0)
        Fail(Indexed(field, k) + ".trustee", "SID \"" + entry.trustee + "\" is no user, group or account");
    }
  };
  // A shared list is checked once, under its own name.
  std::set<const AccessList*> shared;
  for (const auto& [name, list] : directory.sharedDacls) {
    checkTrustees(*list, path + ".dacls." + name);
    shared.insert(list.get());
  }
  for (size_t i = 0; i < directory.users.size(); ++i) {
    const DirectoryUser& user = directory.users[i];
    checkMemberOf(user.memberOf, Indexed(users, i) + ".memberOf");
    if (user.dacl && !shared.count(user.dacl.get())) checkTrustees(*user.dacl, Indexed(users, i) + ".dacl");
  }
}

LdapServerDefinition ReadLdapServer(const Json& json, const std::string& path) {
#ifdef _WIN32
  (void)json;
  Fail(path, "an LDAP directory serves the Linux build only; on Windows the platform's own ADSI reaches the domain");
#else
  Members members(json, path);
  LdapServerDefinition server;
  server.url = members.RequiredString("url");
  if (server.url.rfind("ldap://", 0) != 0 && server.url.rfind("ldaps://", 0) != 0)
    Fail(members.Field("url"), "\"" + server.url + "\" is not an LDAP URL such as \"ldap://127.0.0.1\"");
  server.bindName = members.RequiredString("bindName");
  const std::optional<std::string> password = members.OptionalString("password");
  const std::optional<std::string> passwordFile = members.OptionalString("passwordFile");
  if (password && passwordFile) Fail(members.Field("passwordFile"), "give either \"password\" or \"passwordFile\"");
  if (password) {
    server.password = *password;
  } else if (passwordFile) {
    std::ifstream file(*passwordFile, std::ios::binary);
    if (!file) Fail(members.Field("passwordFile"), "\"" + *passwordFile + "\" cannot be read: " + strerror(errno));
    // The first line, without its end; at most 4 KiB are read, so that a
    // device named by mistake (/dev/zero) cannot keep the reader reading.
    std::string start(4096, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<size_t>(file.gcount()));
    server.password = start.substr(0, start.find_first_of("\r\n"));
  } else {
    Fail(members.Field("password"), "missing: give \"password\" or \"passwordFile\"");
  }
  if (server.password.empty()) Fail(members.Field(passwordFile ? "passwordFile" : "password"), "the password is empty");
  members.CheckNoOthers();
  return server;
#endif
}

}  // namespace

DirectoryDefinition ReadDirectory(const Json& json, const std::string& path) {
  Members members(json, path);
  DirectoryDefinition directory;
  directory.adsiProvider = members.OptionalBool("adsiProvider").value_or(true);
  if (const Json* ldap = members.Find("ldap")) directory.ldap = ReadLdapServer(*ldap, members.Field("ldap"));
  directory.namingContext = members.OptionalString("namingContext");
  if (directory.namingContext && directory.namingContext->empty())
    Fail(members.Field("namingContext"), "must not be empty");
  directory.domainControllers = ReadStrings(members, "domainControllers");
  if (const Json* dacls = members.Find("dacls")) {
    if (!dacls->is_object()) Fail(members.Field("dacls"), "expected an object of named lists");
    for (const auto& [name, list] : dacls->items())
      directory.sharedDacls[name] = ReadAccessList(list, members.Field("dacls") + "." + name);
  }
  if (const Json* users = members.OptionalArray("users"))
    for (size_t i = 0; i < users->size(); ++i)
      directory.users.push_back(ReadUser((*users)[i], Indexed(members.Field("users"), i), directory));
  if (const Json* groups = members.OptionalArray("groups"))
    for (size_t i = 0; i < groups->size(); ++i)
      directory.groups.push_back(ReadGroup((*groups)[i], Indexed(members.Field("groups"), i)));
  if (const Json* accounts = members.OptionalArray("accounts"))
    for (size_t i = 0; i < accounts->size(); ++i)
      directory.accounts.push_back(ReadAccount((*accounts)[i], Indexed(members.Field("accounts"), i)));
  members.CheckNoOthers();
  CheckReferences(directory, path);
  return directory;
}

}  // namespace emulation
