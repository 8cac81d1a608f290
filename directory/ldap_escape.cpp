#include "directory/ldap_escape.h"

std::string EscapeLdapFilterValue(const char* value) {
  std::string escaped;
  for (const char* at = value; at != nullptr && *at != '\0'; ++at) {
    switch (*at) {
      case '*':
        escaped += "\\2a";
        break;
      case '(':
        escaped += "\\28";
        break;
      case ')':
        escaped += "\\29";
        break;
      case '\\':
        escaped += "\\5c";
        break;
      default:
        escaped += *at;
    }
  }
  return escaped;
}
