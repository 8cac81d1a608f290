// Escaping of values placed in LDAP search filters.
#pragma once

#include <string>

// value with the characters that mean something in a filter written as
// RFC 4515 escapes ("*" as \2a, "(" as \28, ")" as \29, "\" as \5c), so
// that the value can only match itself.
std::string EscapeLdapFilterValue(const char* value);
