// The world that the emulated platform serves, read from an organisation
// file (JSON): profiles and their stores, the address book, the directory,
// and faults planned for platform operations. docs/organisation.md
// describes the format.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/runtime/verrick_settings.h"
#include "platform/emulation/win32/wintypes.h"

namespace emulation {

struct StoreDefinition {
  std::optional<std::string> displayName;
  std::optional<bool> isDefault;  // absent: the store has no default flag
  bool exchange = true;           // answers for IExchangeManageStore
};

struct ProfileDefinition {
  std::string name;
  bool isDefault = false;
  std::string identity;  // key of the operator's address-book entry
  std::vector<StoreDefinition> stores;
};

struct AddressEntry {
  std::string key;
  std::optional<std::string> displayName;
  std::optional<std::string> addressType;
  std::optional<std::string> emailAddress;
  std::optional<std::string> homeMdb;
  std::optional<std::vector<std::string>> proxyAddresses;
};

struct DirectoryDefinition {
  bool adsiProvider = true;  // the ADSI provider for ADO is installed
};

struct Fault {
  std::string operation;
  unsigned occurrence = 1;  // which call of the operation fails, from 1
  HRESULT status = 0;
  std::optional<std::string> source;
  std::optional<std::string> description;
  // With MAPI_W_ERRORS_RETURNED on a property read: the error that every
  // value read then carries.
  HRESULT valueError = static_cast<HRESULT>(0x8004010F);  // MAPI_E_NOT_FOUND
};

struct Organisation {
  std::vector<ProfileDefinition> profiles;
  std::vector<AddressEntry> addressBook;
  DirectoryDefinition directory;
  std::vector<Fault> faults;
  VerrickSettings verrick;
  // Scales the clock of the platform's waits (WaitForSingleObject) only.
  double waitScale = 1;

  const AddressEntry* FindEntry(std::string_view key) const;
};

// A broken organisation: which field, and what is wrong with it.
class OrganisationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and checks an organisation.
Organisation ParseOrganisation(std::string_view text);

// The sample organisation built into the tool.
extern const char kSampleOrganisation[];

}  // namespace emulation
