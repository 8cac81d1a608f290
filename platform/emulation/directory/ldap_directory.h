// The directory served by a domain controller over LDAP (OpenLDAP's client
// library): the Linux build's way to ask a real Active Directory, or a
// Samba domain controller, what the organisation file would otherwise
// answer. The Windows build has the platform's own ADSI for that.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/emulation/directory/directory.h"
#include "platform/emulation/runtime/organisation.h"

namespace emulation {

// The directory of organisation, whose directory names an LDAP server.
// Nothing is asked before the first question; a server that cannot be
// reached or refuses the bind makes every domain unreachable.
std::unique_ptr<Directory> NewLdapDirectory(std::shared_ptr<const Organisation> organisation);

// The entries of a discretionary access-control list in a self-relative
// security descriptor, in list order; none when the bytes are no
// descriptor or it has no list.
std::optional<std::vector<AccessEntry>> DaclOfDescriptor(const std::vector<unsigned char>& descriptor);

}  // namespace emulation
