// The directory that the emulated ADSI objects and the ADO provider for
// ADSI ask: one interface, served first from the organisation file. Objects
// are named by their distinguished names.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/directory/ldap_filter.h"
#include "platform/emulation/runtime/sid.h"

namespace emulation {

enum class SearchScope { Base, OneLevel, Subtree };

// One entry of a discretionary access-control list, in list order. An
// element with a variantType is not an entry: the list's enumerator hands
// it out as a VARIANT of that type.
struct AccessEntry {
  Sid trustee;
  long aceType = 0;
  long aceFlags = 0;
  long flags = 0;
  long accessMask = 0;
  std::optional<std::string> objectType;
  std::optional<unsigned short> variantType;
};

struct AccountName {
  std::string domain;  // may be empty
  std::string name;
};

class Directory {
 public:
  virtual ~Directory() = default;

  // Whether a domain controller answers: the named one, or with none named
  // any controller of the computer's domain.
  virtual bool Reachable(const std::optional<std::string>& domainController) const = 0;
  virtual std::string DefaultNamingContext() const = 0;
  // The objects under base (itself included for Base and Subtree) that
  // match filter, in the directory's order. None when base does not exist.
  virtual std::optional<std::vector<std::string>> Search(const std::string& base, SearchScope scope,
                                                         const LdapFilter& filter) const = 0;
  virtual bool Exists(const std::string& dn) const = 0;
  // An object's values of a stored attribute, as text; empty when it has none.
  virtual std::vector<std::string> Values(const std::string& dn, std::string_view attribute) const = 0;
  virtual std::optional<Sid> ObjectSid(const std::string& dn) const = 0;
  // The SIDs of the groups in the object's security token: its groups and,
  // nested, theirs, each once, the direct groups first.
  virtual std::vector<Sid> TokenGroups(const std::string& dn) const = 0;
  // The object's discretionary access-control list; none when the object
  // has no security descriptor that can be read.
  virtual std::optional<std::vector<AccessEntry>> Dacl(const std::string& dn) const = 0;
  // Whether ADSI hands the object's security descriptor out as its raw
  // bytes (VT_ARRAY | VT_UI1) instead of as an object.
  virtual bool DescriptorAsOctets(const std::string& dn) const = 0;
  // The account behind a SID, as the domain's account lookup gives it.
  virtual std::optional<AccountName> LookupSid(const Sid& sid) const = 0;
  // The SIDs an account acts as: its own and its token groups. The account
  // is named by its directory name, its "DOMAIN\name" or its SID text.
  virtual std::vector<Sid> SidsOf(std::string_view account) const = 0;
  // Whether sid is among the account's SIDs (SidsOf).
  virtual bool ActsAs(std::string_view account, const Sid& sid) const {
    const std::vector<Sid> sids = SidsOf(account);
    return std::find(sids.begin(), sids.end(), sid) != sids.end();
  }
  // The SID of a directory name, "DOMAIN\name" or SID text.
  virtual std::optional<Sid> ResolveAccount(std::string_view account) const = 0;
};

// The directory of the current run (the organisation's, or an empty one
// before MAPI is initialised).
const Directory& TheDirectory();

// Whether member is group itself or belongs to it, directly or through
// nested groups. Both are named by their directory name, their
// "DOMAIN\name" or their SID text; a name the directory does not know is
// no member of anything.
bool IsMemberOrSelf(std::string_view member, std::string_view group);

}  // namespace emulation
