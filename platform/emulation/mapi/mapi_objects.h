// The emulated MAPI objects: session, tables, message stores, address
// book and mail users, served from the organisation.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/mapi/mapi.h"
#include "platform/emulation/runtime/organisation.h"

namespace emulation {

// Entry IDs: four flag bytes, the provider's UID, then the provider's own
// key for the object.
std::vector<BYTE> MakeEntryId(const MAPIUID& provider, std::string_view key);
std::optional<std::string> ReadEntryId(const MAPIUID& provider, ULONG size, const ENTRYID* entryId);

extern const MAPIUID kAddressBookProvider;
extern const MAPIUID kStoreProvider;

// A new session on one profile of the organisation, handed out with one
// reference.
HRESULT CreateSession(std::shared_ptr<const Organisation> organisation, size_t profileIndex, IMAPISession** session);

}  // namespace emulation
