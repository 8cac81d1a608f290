// The LDAP filter escaping with the emulated directory's filter parser: an
// escaped value, placed in the tool's filter, parses and matches that value
// alone; and no text makes the parser fail other than by refusing it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "directory/ldap_escape.h"
#include "platform/emulation/directory/ldap_filter.h"

namespace {

bool MatchesOnly(const emulation::LdapFilter& filter, const std::string& proxy) {
  const auto holding = [](std::string value) {
    return [value](std::string_view attribute) {
      return attribute == "proxyAddresses" ? std::vector<std::string>{value} : std::vector<std::string>{};
    };
  };
  return filter.Matches(holding(proxy)) && !filter.Matches(holding(proxy + "x")) &&
         !filter.Matches(holding("x" + proxy));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Any text: a filter or none.
  if (auto any = emulation::LdapFilter::Parse(text)) {
    any->Matches([](std::string_view) { return std::vector<std::string>{"value"}; });
  }

  // A value as the tool places it (a C string: up to its first NUL).
  const std::string value(text.data(), strnlen(text.data(), text.size()));
  const std::string filterText =
      "(&(objectCategory=person)(proxyAddresses=smtp:" + EscapeLdapFilterValue(value.c_str()) + "))";
  const auto filter = emulation::LdapFilter::Parse(filterText);
  if (!filter) abort();
  const auto person = [&](std::string proxy) {
    return [proxy](std::string_view attribute) {
      if (attribute == "objectCategory") return std::vector<std::string>{"person"};
      if (attribute == "proxyAddresses") return std::vector<std::string>{proxy};
      return std::vector<std::string>{};
    };
  };
  if (!filter->Matches(person("smtp:" + value))) abort();
  if (filter->Matches(person("smtp:" + value + "x")) || filter->Matches(person("smtp:x" + value))) abort();

  const auto alone = emulation::LdapFilter::Parse("(proxyAddresses=" + EscapeLdapFilterValue(value.c_str()) + ")");
  if (!alone || !MatchesOnly(*alone, value)) abort();
  return 0;
}
