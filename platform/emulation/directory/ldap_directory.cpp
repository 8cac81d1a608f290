// The directory served by a domain controller over LDAP.
#include "platform/emulation/directory/ldap_directory.h"

#include <ldap.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace emulation {

namespace {

// The server's "LDAP_SERVER_SD_FLAGS_OID" control, asking for the DACL alone
// (DACL_SECURITY_INFORMATION): without it a user that may not read the SACL
// gets no descriptor at all. Its value is the BER of SEQUENCE { INTEGER 4 }.
constexpr const char* kSdFlagsControl = "1.2.840.113556.1.4.801";
constexpr char kDaclOnly[] = {0x30, 0x03, 0x02, 0x01, 0x04};

constexpr int kTimeoutSeconds = 10;

// The accounts that the platform names without asking a domain controller.
struct WellKnownAccount {
  const char* sid;
  const char* domain;
  const char* name;
};
constexpr WellKnownAccount kWellKnownAccounts[] = {
    {"S-1-1-0", "", "Everyone"},
    {"S-1-3-0", "", "CREATOR OWNER"},
    {"S-1-3-1", "", "CREATOR GROUP"},
    {"S-1-5-7", "NT AUTHORITY", "ANONYMOUS LOGON"},
    {"S-1-5-9", "NT AUTHORITY", "ENTERPRISE DOMAIN CONTROLLERS"},
    {"S-1-5-10", "NT AUTHORITY", "SELF"},
    {"S-1-5-11", "NT AUTHORITY", "Authenticated Users"},
    {"S-1-5-18", "NT AUTHORITY", "SYSTEM"},
};

// The builtin domain (S-1-5-32): its groups live in the directory, under
// the domain name "BUILTIN".
bool IsBuiltin(const Sid& sid) { return sid.size() >= 12 && SidText(sid).rfind("S-1-5-32-", 0) == 0; }

// An assertion value that matches exactly these bytes (RFC 4515 escapes).
std::string EscapedBytes(const std::vector<unsigned char>& bytes) {
  std::string escaped;
  char hex[4];
  for (unsigned char byte : bytes) {
    snprintf(hex, sizeof hex, "\\%02x", byte);
    escaped += hex;
  }
  return escaped;
}

std::string EscapedText(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0')
      escaped += EscapedBytes({static_cast<unsigned char>(c)});
    else
      escaped += c;
  }
  return escaped;
}

uint32_t Read32(const std::vector<unsigned char>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}
uint16_t Read16(const std::vector<unsigned char>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// A GUID's text as ADSI gives an ACE's object type: braced, lower case.
std::string GuidText(const std::vector<unsigned char>& bytes, size_t at) {
  char text[39];
  snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", Read32(bytes, at),
           Read16(bytes, at + 4), Read16(bytes, at + 6), bytes[at + 8], bytes[at + 9], bytes[at + 10], bytes[at + 11],
           bytes[at + 12], bytes[at + 13], bytes[at + 14], bytes[at + 15]);
  return text;
}

// The SID at bytes[at], when it fits before end.
std::optional<Sid> SidAt(const std::vector<unsigned char>& bytes, size_t at, size_t end) {
  if (at + 8 > end) return std::nullopt;
  const size_t size = 8 + 4 * static_cast<size_t>(bytes[at + 1]);
  if (bytes[at] != 1 || bytes[at + 1] > 15 || at + size > end) return std::nullopt;
  return Sid(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
}

bool IsObjectAceType(unsigned type) {
  // ACCESS_{ALLOWED,DENIED}_OBJECT, SYSTEM_{AUDIT,ALARM}_OBJECT and their
  // callback forms.
  return (type >= 5 && type <= 8) || type == 0x0B || type == 0x0C || type == 0x0F || type == 0x10;
}

class LdapDirectory final : public Directory {
 public:
  explicit LdapDirectory(std::shared_ptr<const Organisation> organisation)
      : organisation_(std::move(organisation)), server_(*organisation_->directory.ldap) {}

  ~LdapDirectory() override {
    if (ldap_ != nullptr) ldap_unbind_ext_s(ldap_, nullptr, nullptr);
  }

  bool Reachable(const std::optional<std::string>& domainController) const override {
    if (Connection() == nullptr) return false;
    if (!domainController) return true;
    // The controllers the organisation names, and the server itself.
    for (const std::string& known : organisation_->directory.domainControllers)
      if (SameText(known, *domainController)) return true;
    return SameText(*domainController, ServerHost());
  }

  std::string DefaultNamingContext() const override {
    const std::lock_guard lock(mutex_);
    return RootDseValue("defaultNamingContext");
  }

  std::optional<std::vector<std::string>> Search(const std::string& base, SearchScope scope,
                                                 const LdapFilter& filter) const override {
    const int ldapScope = scope == SearchScope::Base       ? LDAP_SCOPE_BASE
                          : scope == SearchScope::OneLevel ? LDAP_SCOPE_ONELEVEL
                                                           : LDAP_SCOPE_SUBTREE;
    const std::lock_guard lock(mutex_);
    return FindDns(base, ldapScope, filter.Text());
  }

  bool Exists(const std::string& dn) const override {
    const std::lock_guard lock(mutex_);
    const auto found = FindDns(dn, LDAP_SCOPE_BASE, "(objectClass=*)");
    return found && !found->empty();
  }

  std::vector<std::string> Values(const std::string& dn, std::string_view attribute) const override {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> values;
    // Binary SIDs as text, as the organisation file gives them.
    const bool sid = SameText(attribute, "objectSid");
    for (const std::vector<unsigned char>& value : Read(dn, std::string(attribute))) {
      if (!sid)
        values.emplace_back(value.begin(), value.end());
      else if (auto parsed = SidAt(value, 0, value.size()))
        values.push_back(SidText(*parsed));
    }
    return values;
  }

  std::optional<Sid> ObjectSid(const std::string& dn) const override {
    const std::lock_guard lock(mutex_);
    const auto values = Read(dn, "objectSid");
    if (values.empty()) return std::nullopt;
    return SidAt(values.front(), 0, values.front().size());
  }

  std::vector<Sid> TokenGroups(const std::string& dn) const override {
    const std::lock_guard lock(mutex_);
    return TokenGroupsOf(dn);
  }

  std::optional<std::vector<AccessEntry>> Dacl(const std::string& dn) const override {
    const std::lock_guard lock(mutex_);
    const auto values = Read(dn, "nTSecurityDescriptor", true);
    if (values.empty()) return std::nullopt;
    return DaclOfDescriptor(values.front());
  }

  bool DescriptorAsOctets(const std::string&) const override { return false; }

  std::optional<AccountName> LookupSid(const Sid& sid) const override {
    const std::lock_guard lock(mutex_);
    if (const auto known = accountsBySid_.find(sid); known != accountsBySid_.end()) return known->second;
    std::optional<AccountName> account = AccountOf(sid);
    accountsBySid_.emplace(sid, account);
    return account;
  }

  std::optional<Sid> ResolveAccount(std::string_view account) const override {
    if (auto sid = ParseSid(account)) return sid;
    // The organisation's own names for its users and groups (the keys its
    // mail servers grant rights to) stand for their SIDs.
    const DirectoryDefinition& definition = organisation_->directory;
    for (const DirectoryUser& user : definition.users)
      if (user.name == account) return ParseSid(user.sid);
    for (const DirectoryGroup& group : definition.groups)
      if (group.name == account) return ParseSid(group.sid);
    for (const WellKnownAccount& known : kWellKnownAccounts)
      if (SameText(account, std::string(known.domain) + (*known.domain ? "\\" : "") + known.name))
        return ParseSid(known.sid);
    // "DOMAIN\name" of the domain or of BUILTIN, or a bare account name.
    std::string_view name = account;
    if (const size_t slash = account.find('\\'); slash != std::string_view::npos) {
      const std::string_view domain = account.substr(0, slash);
      name = account.substr(slash + 1);
      const std::lock_guard lock(mutex_);
      if (!SameText(domain, "BUILTIN") && !SameText(domain, NetbiosName())) return std::nullopt;
    }
    const std::lock_guard lock(mutex_);
    const auto found =
        FindDns(RootDseValue("defaultNamingContext"), LDAP_SCOPE_SUBTREE, "(sAMAccountName=" + EscapedText(name) + ")");
    if (!found || found->size() != 1) return std::nullopt;
    const auto values = Read(found->front(), "objectSid");
    if (values.empty()) return std::nullopt;
    return SidAt(values.front(), 0, values.front().size());
  }

  std::vector<Sid> SidsOf(std::string_view account) const override {
    const std::optional<Sid> sid = ResolveAccount(account);
    if (!sid) return {};
    std::vector<Sid> sids = {*sid};
    const std::lock_guard lock(mutex_);
    const auto found =
        FindDns(RootDseValue("defaultNamingContext"), LDAP_SCOPE_SUBTREE, "(objectSid=" + EscapedBytes(*sid) + ")");
    if (found && found->size() == 1)
      for (Sid& group : TokenGroupsOf(found->front())) sids.push_back(std::move(group));
    return sids;
  }

 private:
  std::string ServerHost() const {
    std::string host = server_.url.substr(server_.url.find("://") + 3);
    host = host.substr(0, host.find_first_of(":/"));
    return host;
  }

  // The bound connection, made on first use; none when the server cannot
  // be reached or refuses the bind (and then for the directory's life, so
  // that a run does not wait on a dead server at every question).
  LDAP* Connection() const {
    const std::lock_guard lock(mutex_);
    return ConnectionLocked();
  }

  LDAP* ConnectionLocked() const {
    if (ldap_ != nullptr || connectFailed_) return ldap_;
    connectFailed_ = true;
    LDAP* ldap = nullptr;
    if (ldap_initialize(&ldap, server_.url.c_str()) != LDAP_SUCCESS) return nullptr;
    const int version = LDAP_VERSION3;
    timeval timeout{kTimeoutSeconds, 0};
    ldap_set_option(ldap, LDAP_OPT_PROTOCOL_VERSION, &version);
    // A domain controller refers to other domains' controllers; the
    // platform's provider does not chase them for these searches.
    ldap_set_option(ldap, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ldap, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ldap, LDAP_OPT_TIMEOUT, &timeout);
    berval password{static_cast<ber_len_t>(server_.password.size()), const_cast<char*>(server_.password.data())};
    if (ldap_sasl_bind_s(ldap, server_.bindName.c_str(), LDAP_SASL_SIMPLE, &password, nullptr, nullptr, nullptr) !=
        LDAP_SUCCESS) {
      ldap_unbind_ext_s(ldap, nullptr, nullptr);
      return nullptr;
    }
    ldap_ = ldap;
    connectFailed_ = false;
    return ldap_;
  }

  // One search; its result (to be freed with ldap_msgfree) and status.
  int SearchRaw(const std::string& base, int scope, const std::string& filter, const char* attribute, bool daclOnly,
                LDAPMessage** result) const {
    *result = nullptr;
    LDAP* ldap = ConnectionLocked();
    if (ldap == nullptr) return LDAP_SERVER_DOWN;
    char noAttributes[] = "1.1";
    char* attributes[] = {attribute != nullptr ? const_cast<char*>(attribute) : noAttributes, nullptr};
    LDAPControl sdFlags{
        const_cast<char*>(kSdFlagsControl), {sizeof kDaclOnly, const_cast<char*>(kDaclOnly)}, static_cast<char>(1)};
    LDAPControl* controls[] = {&sdFlags, nullptr};
    timeval timeout{kTimeoutSeconds, 0};
    const int status = ldap_search_ext_s(ldap, base.c_str(), scope, filter.c_str(), attributes, 0,
                                         daclOnly ? controls : nullptr, nullptr, &timeout, LDAP_NO_LIMIT, result);
    if (status != LDAP_SUCCESS && *result != nullptr) {
      ldap_msgfree(*result);
      *result = nullptr;
    }
    if (status == LDAP_SERVER_DOWN || status == LDAP_CONNECT_ERROR) {
      // Gone in the middle of a run: from now on the domain cannot be
      // contacted, as the platform reports it.
      ldap_unbind_ext_s(ldap_, nullptr, nullptr);
      ldap_ = nullptr;
      connectFailed_ = true;
    }
    return status;
  }

  // The DNs of the entries found, search references passed over; none when
  // the base does not exist or the search fails.
  std::optional<std::vector<std::string>> FindDns(const std::string& base, int scope, const std::string& filter) const {
    LDAPMessage* result = nullptr;
    if (SearchRaw(base, scope, filter, nullptr, false, &result) != LDAP_SUCCESS) return std::nullopt;
    std::vector<std::string> dns;
    for (LDAPMessage* entry = ldap_first_entry(ldap_, result); entry != nullptr;
         entry = ldap_next_entry(ldap_, entry)) {
      char* dn = ldap_get_dn(ldap_, entry);
      if (dn != nullptr) dns.emplace_back(dn);
      ldap_memfree(dn);
    }
    ldap_msgfree(result);
    return dns;
  }

  // The values of one attribute of one object, as bytes; empty when the
  // object or the attribute is missing.
  std::vector<std::vector<unsigned char>> Read(const std::string& dn, const std::string& attribute,
                                               bool daclOnly = false, int scope = LDAP_SCOPE_BASE) const {
    std::vector<std::vector<unsigned char>> values;
    LDAPMessage* result = nullptr;
    if (SearchRaw(dn, scope, "(objectClass=*)", attribute.c_str(), daclOnly, &result) != LDAP_SUCCESS) return values;
    if (LDAPMessage* entry = ldap_first_entry(ldap_, result); entry != nullptr) {
      berval** found = ldap_get_values_len(ldap_, entry, attribute.c_str());
      for (int i = 0; found != nullptr && found[i] != nullptr; ++i) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(found[i]->bv_val);
        values.emplace_back(bytes, bytes + found[i]->bv_len);
      }
      ldap_value_free_len(found);
    }
    ldap_msgfree(result);
    return values;
  }

  std::string RootDseValue(const std::string& attribute) const {
    const auto values = Read("", attribute);
    return values.empty() ? std::string() : std::string(values.front().begin(), values.front().end());
  }

  std::vector<Sid> TokenGroupsOf(const std::string& dn) const {
    std::vector<Sid> sids;
    for (const std::vector<unsigned char>& value : Read(dn, "tokenGroups"))
      if (auto sid = SidAt(value, 0, value.size())) sids.push_back(std::move(*sid));
    return sids;
  }

  // The domain's NetBIOS name, from its cross-reference in the partitions
  // container.
  const std::string& NetbiosName() const {
    if (!netbiosName_.empty()) return netbiosName_;
    const std::string partitions = "CN=Partitions," + RootDseValue("configurationNamingContext");
    LDAPMessage* result = nullptr;
    const std::string filter =
        "(&(objectClass=crossRef)(nCName=" + EscapedText(RootDseValue("defaultNamingContext")) + ")(nETBIOSName=*))";
    if (SearchRaw(partitions, LDAP_SCOPE_ONELEVEL, filter, "nETBIOSName", false, &result) == LDAP_SUCCESS) {
      if (LDAPMessage* entry = ldap_first_entry(ldap_, result); entry != nullptr) {
        berval** found = ldap_get_values_len(ldap_, entry, "nETBIOSName");
        if (found != nullptr && found[0] != nullptr) netbiosName_.assign(found[0]->bv_val, found[0]->bv_len);
        ldap_value_free_len(found);
      }
      ldap_msgfree(result);
    }
    return netbiosName_;
  }

  std::optional<AccountName> AccountOf(const Sid& sid) const {
    const std::string text = SidText(sid);
    for (const WellKnownAccount& known : kWellKnownAccounts)
      if (text == known.sid) return AccountName{known.domain, known.name};
    const std::string base = RootDseValue("defaultNamingContext");
    const auto found = FindDns(base, LDAP_SCOPE_SUBTREE, "(objectSid=" + EscapedBytes(sid) + ")");
    if (!found || found->size() != 1) return std::nullopt;
    const auto names = Read(found->front(), "sAMAccountName");
    if (names.empty()) return std::nullopt;
    return AccountName{IsBuiltin(sid) ? "BUILTIN" : NetbiosName(),
                       std::string(names.front().begin(), names.front().end())};
  }

  std::shared_ptr<const Organisation> organisation_;  // keeps server_ alive
  const LdapServerDefinition& server_;
  // libldap's handle is not for two threads at once.
  mutable std::recursive_mutex mutex_;
  mutable LDAP* ldap_ = nullptr;
  mutable bool connectFailed_ = false;
  mutable std::string netbiosName_;
  mutable std::map<Sid, std::optional<AccountName>> accountsBySid_;
};

}  // namespace

std::optional<std::vector<AccessEntry>> DaclOfDescriptor(const std::vector<unsigned char>& descriptor) {
  // SECURITY_DESCRIPTOR_RELATIVE: revision, Sbz1, control, then the
  // offsets of owner, group, SACL and DACL.
  constexpr uint16_t kDaclPresent = 0x0004, kSelfRelative = 0x8000;
  if (descriptor.size() < 20 || descriptor[0] != 1) return std::nullopt;
  const uint16_t control = Read16(descriptor, 2);
  const uint32_t daclAt = Read32(descriptor, 16);
  if ((control & kSelfRelative) == 0 || (control & kDaclPresent) == 0 || daclAt == 0) return std::nullopt;
  // ACL: revision, Sbz1, size, count, Sbz2.
  if (daclAt + 8 > descriptor.size()) return std::nullopt;
  const size_t aclEnd = daclAt + Read16(descriptor, daclAt + 2);
  const uint16_t count = Read16(descriptor, daclAt + 4);
  if (aclEnd > descriptor.size()) return std::nullopt;
  std::vector<AccessEntry> entries;
  size_t at = daclAt + 8;
  for (uint16_t i = 0; i < count; ++i) {
    // ACE_HEADER: type, flags, size; then the mask.
    if (at + 8 > aclEnd) return std::nullopt;
    const size_t aceEnd = at + Read16(descriptor, at + 2);
    if (aceEnd > aclEnd || aceEnd < at + 8) return std::nullopt;
    AccessEntry entry;
    entry.aceType = descriptor[at];
    entry.aceFlags = descriptor[at + 1];
    entry.accessMask = static_cast<long>(static_cast<int32_t>(Read32(descriptor, at + 4)));
    size_t sidAt = at + 8;
    if (IsObjectAceType(descriptor[at])) {
      // Flags: ACE_OBJECT_TYPE_PRESENT (1), ACE_INHERITED_OBJECT_TYPE_PRESENT
      // (2); each present GUID takes 16 bytes, in that order.
      if (sidAt + 4 > aceEnd) return std::nullopt;
      entry.flags = static_cast<long>(Read32(descriptor, sidAt));
      sidAt += 4;
      if (entry.flags & 1) {
        if (sidAt + 16 > aceEnd) return std::nullopt;
        entry.objectType = GuidText(descriptor, sidAt);
        sidAt += 16;
      }
      if (entry.flags & 2) sidAt += 16;
    }
    std::optional<Sid> trustee = SidAt(descriptor, sidAt, aceEnd);
    if (!trustee) return std::nullopt;
    entry.trustee = std::move(*trustee);
    entries.push_back(std::move(entry));
    at = aceEnd;
  }
  return entries;
}

std::unique_ptr<Directory> NewLdapDirectory(std::shared_ptr<const Organisation> organisation) {
  return std::make_unique<LdapDirectory>(std::move(organisation));
}

}  // namespace emulation
