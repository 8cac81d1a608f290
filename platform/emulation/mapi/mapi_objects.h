// The emulated MAPI objects: session, tables, message stores, address
// book and mail users, served from the organisation.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/mapi/mapi.h"
#include "platform/emulation/mapi/mapi_memory.h"
#include "platform/emulation/runtime/organisation.h"

namespace emulation {

// Entry IDs: four flag bytes, the provider's UID, then the provider's own
// key for the object.
std::vector<BYTE> MakeEntryId(const MAPIUID& provider, std::string_view key);
std::optional<std::string> ReadEntryId(const MAPIUID& provider, ULONG size, const ENTRYID* entryId);

extern const MAPIUID kAddressBookProvider;
extern const MAPIUID kStoreProvider;

// What the objects of one provider ask of another.
PropertyBag EntryProperties(const AddressEntry& entry);
PropertyBag StoreProperties(const StoreDefinition& store, const std::string& key);
// The recipients of an address list as the journal shows them.
std::string Recipients(const ADRLIST* list);

HRESULT NewAddressBook(std::shared_ptr<const Organisation> organisation, const IID* iface, LPADRBOOK* book);
HRESULT NewProfileStore(const StoreDefinition& definition, const std::string& key, const IID* iface, LPMDB* store);

// The key of a store entry ID that CreateStoreEntryID made for another
// user's mailbox, and the opening of that mailbox for the operator (the
// session's identity), as the Exchange server decides it.
bool IsMailboxKey(const std::string& key);
HRESULT OpenMailboxStore(std::shared_ptr<const Organisation> organisation, const std::string& operatorKey,
                         const std::string& key, const IID* iface, LPMDB* store);

// Whether the operator may open owner's mailbox, which lives on database:
// its own, or any on a database whose administrators include the operator.
bool MayOpenMailbox(const std::string& operatorKey, const AddressEntry& owner, const DatabaseDefinition& database,
                    bool adminPrivilege);

// A new session on one profile of the organisation, handed out with one
// reference.
HRESULT CreateSession(std::shared_ptr<const Organisation> organisation, size_t profileIndex, IMAPISession** session);

}  // namespace emulation
