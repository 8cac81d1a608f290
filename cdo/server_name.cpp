#include "cdo/server_name.h"

#include <cstring>

ServerNameResult ExtractServerName(const char* homeMdbDn, char (&server)[kCdoTextBufferSize]) {
  static constexpr char kMarker[] = "/cn=Servers/cn=";
  memset(server, 0, sizeof server);
  const char* marker = strstr(homeMdbDn, kMarker);
  if (marker == nullptr) return ServerNameResult::kNoMarker;
  const char* name = marker + (sizeof kMarker - 1);
  const char* slash = strchr(name, '/');
  if (slash == nullptr) return ServerNameResult::kNoSlashAfterServer;
  const size_t length = static_cast<size_t>(slash - name);
  memcpy(server, name, length < sizeof server - 1 ? length : sizeof server - 1);
  return ServerNameResult::kFound;
}
