// The directory served from the organisation file's lists.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "platform/emulation/directory/directory.h"
#include "platform/emulation/runtime/world.h"
#ifndef _WIN32
#include "platform/emulation/directory/ldap_directory.h"
#endif

namespace emulation {

namespace {

const char* const kUserClasses[] = {"top", "person", "organizationalPerson", "user"};

class ListDirectory final : public Directory {
 public:
  explicit ListDirectory(std::shared_ptr<const Organisation> organisation)
      : organisation_(std::move(organisation)), definition_(organisation_->directory) {
    // Every look-up by hash: a directory of thousands of users is asked
    // once per mailbox and must not be searched object by object.
    for (size_t i = 0; i < definition_.users.size(); ++i) {
      const DirectoryUser& user = definition_.users[i];
      usersByDn_.emplace(LowerCase(user.dn), i);
      for (const std::string& address : user.proxyAddresses) usersByProxyAddress_[LowerCase(address)].push_back(i);
      if (auto sid = ParseSid(user.sid)) sidsByName_.emplace(user.name, *sid), usersBySid_.emplace(*sid, i);
    }
    for (size_t i = 0; i < definition_.groups.size(); ++i) {
      const DirectoryGroup& group = definition_.groups[i];
      groupsByName_.emplace(group.name, i);
      if (auto sid = ParseSid(group.sid)) sidsByName_.emplace(group.name, *sid), groupsBySid_.emplace(*sid, i);
    }
    // Nested groups by position, so that a token is gathered without a
    // look-up by name or a SID parsed per group.
    groupNodes_.resize(definition_.groups.size());
    for (size_t i = 0; i < definition_.groups.size(); ++i) {
      groupNodes_[i].sid = ParseSid(definition_.groups[i].sid);
      groupNodes_[i].memberOf = GroupPositions(definition_.groups[i].memberOf);
    }
    for (size_t i = 0; i < definition_.accounts.size(); ++i) {
      const DirectoryAccount& account = definition_.accounts[i];
      const auto sid = ParseSid(account.sid);
      if (!sid) continue;
      accountsBySid_.emplace(*sid, i);
      sidsByAccountName_.emplace(
          LowerCase(account.domain.empty() ? account.name : account.domain + "\\" + account.name), *sid);
    }
  }

  bool Reachable(const std::optional<std::string>& domainController) const override {
    if (!definition_.namingContext) return false;
    if (!domainController) return true;
    for (const std::string& known : definition_.domainControllers)
      if (SameText(known, *domainController)) return true;
    return false;
  }

  std::string DefaultNamingContext() const override { return definition_.namingContext.value_or(""); }

  std::optional<std::vector<std::string>> Search(const std::string& base, SearchScope scope,
                                                 const LdapFilter& filter) const override {
    const bool baseIsContext = definition_.namingContext && SameText(base, *definition_.namingContext);
    if (!baseIsContext && !Exists(base)) return std::nullopt;
    std::vector<std::string> found;
    const auto test = [&](const DirectoryUser& user) {
      if (!InScope(user.dn, base, scope)) return;
      if (filter.Matches([&](std::string_view attribute) { return ValuesOf(user, attribute); }))
        found.push_back(user.dn);
    };
    if (const auto address = filter.RequiredValue("proxyAddresses")) {
      // Only the users that have the address can match; they are kept in
      // the directory's order.
      const auto candidates = usersByProxyAddress_.find(LowerCase(*address));
      if (candidates != usersByProxyAddress_.end())
        for (size_t i : std::set<size_t>(candidates->second.begin(), candidates->second.end()))
          test(definition_.users[i]);
      return found;
    }
    for (const DirectoryUser& user : definition_.users) test(user);
    return found;
  }

  bool Exists(const std::string& dn) const override { return FindUser(dn) != nullptr; }

  std::vector<std::string> Values(const std::string& dn, std::string_view attribute) const override {
    const DirectoryUser* user = FindUser(dn);
    if (user == nullptr) return {};
    return ValuesOf(*user, attribute);
  }

  static std::vector<std::string> ValuesOf(const DirectoryUser& user, std::string_view attribute) {
    if (SameText(attribute, "objectCategory")) return {user.objectCategory};
    if (SameText(attribute, "objectClass")) return {std::begin(kUserClasses), std::end(kUserClasses)};
    if (SameText(attribute, "proxyAddresses")) return user.proxyAddresses;
    if (SameText(attribute, "distinguishedName")) return {user.dn};
    if (SameText(attribute, "cn") || SameText(attribute, "name")) return {CommonName(user.dn)};
    if (SameText(attribute, "objectSid")) return {user.sid};
    return {};
  }

  std::optional<Sid> ObjectSid(const std::string& dn) const override {
    const DirectoryUser* user = FindUser(dn);
    if (user == nullptr) return std::nullopt;
    return ParseSid(user->sid);
  }

  std::vector<Sid> TokenGroups(const std::string& dn) const override {
    const DirectoryUser* user = FindUser(dn);
    if (user == nullptr) return {};
    return GroupSidsFrom(user->memberOf);
  }

  bool DescriptorAsOctets(const std::string& dn) const override {
    const DirectoryUser* user = FindUser(dn);
    return user != nullptr && user->descriptorAsOctets;
  }

  std::optional<std::vector<AccessEntry>> Dacl(const std::string& dn) const override {
    const DirectoryUser* user = FindUser(dn);
    if (user == nullptr || !user->dacl) return std::nullopt;
    std::vector<AccessEntry> entries;
    for (const AccessEntryDefinition& defined : *user->dacl) {
      AccessEntry entry;
      if (!defined.variantType) entry.trustee = *ParseSid(defined.trustee);
      entry.aceType = defined.aceType;
      entry.aceFlags = defined.aceFlags;
      entry.flags = defined.flags;
      entry.accessMask = defined.accessMask;
      // The GUID is the entry's object type only with
      // ACE_OBJECT_TYPE_PRESENT; with ACE_INHERITED_OBJECT_TYPE_PRESENT
      // alone it is the inherited object type, which ADSI does not give as
      // ObjectType.
      if (defined.flags & 1) entry.objectType = defined.objectType;
      entry.variantType = defined.variantType;
      entries.push_back(std::move(entry));
    }
    return entries;
  }

  std::optional<AccountName> LookupSid(const Sid& sid) const override {
    const auto found = accountsBySid_.find(sid);
    if (found == accountsBySid_.end()) return std::nullopt;
    const DirectoryAccount& account = definition_.accounts[found->second];
    return AccountName{account.domain, account.name};
  }

  std::optional<Sid> ResolveAccount(std::string_view account) const override {
    if (auto sid = ParseSid(account)) return sid;
    // Users and groups by their names (unique among both), then accounts
    // by "DOMAIN\name" in any case.
    if (const auto named = sidsByName_.find(std::string(account)); named != sidsByName_.end()) return named->second;
    if (const auto known = sidsByAccountName_.find(LowerCase(account)); known != sidsByAccountName_.end())
      return known->second;
    return std::nullopt;
  }

  std::vector<Sid> SidsOf(std::string_view account) const override {
    const std::optional<Sid> sid = ResolveAccount(account);
    if (!sid) return {};
    std::vector<Sid> sids = {*sid};
    if (const auto user = usersBySid_.find(*sid); user != usersBySid_.end())
      return Append(sids, GroupSidsFrom(definition_.users[user->second].memberOf));
    if (const auto group = groupsBySid_.find(*sid); group != groupsBySid_.end())
      return Append(sids, GroupSidsFrom(definition_.groups[group->second].memberOf));
    return sids;
  }

  // The file's directory does not change during a run, so an account's
  // SIDs are gathered once: a store checks the operator's rights at every
  // mailbox it opens.
  bool ActsAs(std::string_view account, const Sid& sid) const override {
    const std::optional<Sid> own = ResolveAccount(account);
    if (!own) return false;
    auto token = tokens_.find(*own);
    if (token == tokens_.end()) {
      std::vector<Sid> sids = SidsOf(account);
      std::sort(sids.begin(), sids.end());
      token = tokens_.emplace(*own, std::move(sids)).first;
    }
    return std::binary_search(token->second.begin(), token->second.end(), sid);
  }

 private:
  struct GroupNode {
    std::optional<Sid> sid;
    std::vector<size_t> memberOf;  // positions of the groups it belongs to
  };

  static std::vector<Sid> Append(std::vector<Sid> sids, const std::vector<Sid>& more) {
    sids.insert(sids.end(), more.begin(), more.end());
    return sids;
  }

  // Positions of the named groups the directory knows, in the names' order.
  std::vector<size_t> GroupPositions(const std::vector<std::string>& names) const {
    std::vector<size_t> positions;
    for (const std::string& name : names)
      if (const auto found = groupsByName_.find(name); found != groupsByName_.end()) positions.push_back(found->second);
    return positions;
  }

  static std::string CommonName(const std::string& dn) {
    const size_t equals = dn.find('='), comma = dn.find(',');
    if (equals == std::string::npos) return dn;
    return dn.substr(equals + 1, comma == std::string::npos ? std::string::npos : comma - equals - 1);
  }

  static bool InScope(const std::string& dn, const std::string& base, SearchScope scope) {
    if (SameText(dn, base)) return scope != SearchScope::OneLevel;
    if (scope == SearchScope::Base) return false;
    const std::string suffix = "," + base;
    if (dn.size() <= suffix.size() || !SameText(std::string_view(dn).substr(dn.size() - suffix.size()), suffix))
      return false;
    // One level: no further comma in the part before the base.
    return scope == SearchScope::Subtree || dn.substr(0, dn.size() - suffix.size()).find(',') == std::string::npos;
  }

  const DirectoryUser* FindUser(const std::string& dn) const {
    const auto found = usersByDn_.find(LowerCase(dn));
    return found == usersByDn_.end() ? nullptr : &definition_.users[found->second];
  }

  // Breadth first: the direct groups in their order, then theirs, each
  // once; names the directory does not know are left out.
  std::vector<Sid> GroupSidsFrom(const std::vector<std::string>& direct) const {
    std::vector<Sid> sids;
    std::vector<bool> seen(groupNodes_.size());
    std::vector<size_t> queue = GroupPositions(direct);
    for (size_t i = 0; i < queue.size(); ++i) {
      if (seen[queue[i]]) continue;
      seen[queue[i]] = true;
      const GroupNode& group = groupNodes_[queue[i]];
      if (group.sid) sids.push_back(*group.sid);
      queue.insert(queue.end(), group.memberOf.begin(), group.memberOf.end());
    }
    return sids;
  }

  std::shared_ptr<const Organisation> organisation_;  // keeps definition_ alive
  const DirectoryDefinition& definition_;
  // Positions in definition_'s lists; names and DNs in lower case where
  // the directory ignores case.
  std::unordered_map<std::string, size_t> usersByDn_;
  std::unordered_map<std::string, std::vector<size_t>> usersByProxyAddress_;
  std::unordered_map<std::string, size_t> groupsByName_;
  std::map<Sid, size_t> usersBySid_, groupsBySid_, accountsBySid_;
  std::unordered_map<std::string, Sid> sidsByName_, sidsByAccountName_;
  std::vector<GroupNode> groupNodes_;  // in definition_.groups' order
  // Each account's SIDs, sorted, once asked for (ActsAs).
  mutable std::map<Sid, std::vector<Sid>> tokens_;
};

}  // namespace

const Directory& TheDirectory() {
  static std::shared_ptr<const Organisation> servedFrom;
  static std::unique_ptr<Directory> directory;
  static const auto empty = std::make_shared<const Organisation>();
  const std::shared_ptr<const Organisation>& current = TheWorld().organisation ? TheWorld().organisation : empty;
  if (!directory || servedFrom != current) {
#ifndef _WIN32
    // The organisation names a domain controller to ask instead (the
    // Windows build's reader refuses one).
    if (current->directory.ldap)
      directory = NewLdapDirectory(current);
    else
#endif
      directory = std::make_unique<ListDirectory>(current);
    servedFrom = current;
  }
  return *directory;
}

bool IsMemberOrSelf(std::string_view member, std::string_view group) {
  const Directory& directory = TheDirectory();
  const std::optional<Sid> groupSid = directory.ResolveAccount(group);
  if (!groupSid) return false;
  return directory.ActsAs(member, *groupSid);
}

}  // namespace emulation
