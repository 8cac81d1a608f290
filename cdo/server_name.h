#pragma once

#include <cstddef>

// The size of the buffers the CDO probe keeps its texts in.
constexpr size_t kCdoTextBufferSize = 1024;

enum class ServerNameResult {
  kFound,
  kNoMarker,            // "/cn=Servers/cn=" is not in the DN
  kNoSlashAfterServer,  // the DN ends in the server's name
};

// Copies the server name out of a home message store's DN: the text
// between the first "/cn=Servers/cn=" (matched with its letter case) and the
// next slash, into server (kCdoTextBufferSize bytes, zero-filled). A longer
// name is cut to the buffer's 1023 characters, as the mailbox DN is.
ServerNameResult ExtractServerName(const char* homeMdbDn, char (&server)[kCdoTextBufferSize]);
