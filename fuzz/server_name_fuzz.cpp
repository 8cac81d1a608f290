// The server name cut out of a home message store's DN: the text between
// the first "/cn=Servers/cn=" and the next slash, at most 1023 characters,
// in a terminated buffer; the two failures exactly when their condition
// holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cdo/server_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dn(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  char server[kCdoTextBufferSize];
  memset(server, 'x', sizeof server);
  const ServerNameResult result = ExtractServerName(dn.c_str(), server);

  static const std::string kMarker = "/cn=Servers/cn=";
  const size_t marker = dn.find(kMarker);
  if (marker == std::string::npos) {
    if (result != ServerNameResult::kNoMarker) abort();
    return 0;
  }
  const size_t start = marker + kMarker.size();
  const size_t slash = dn.find('/', start);
  if (slash == std::string::npos) {
    if (result != ServerNameResult::kNoSlashAfterServer) abort();
    return 0;
  }
  if (result != ServerNameResult::kFound) abort();
  const std::string expected = dn.substr(start, std::min(slash - start, kCdoTextBufferSize - 1));
  if (memchr(server, '\0', sizeof server) == nullptr || expected != server) abort();
  return 0;
}
