// The world that the emulated platform serves, read from an organisation
// file (JSON): profiles and their stores, the address book, the directory,
// and faults planned for platform operations. docs/organisation.md
// describes the format.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/runtime/verrick_settings.h"
#include "platform/emulation/runtime/wintypes.h"

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

// A folder of a mailbox, with the folders below it.
struct FolderDefinition {
  std::string name;
  std::vector<FolderDefinition> subfolders;

  bool operator==(const FolderDefinition&) const = default;
};

// What a mailbox holds and allows, for an address-book entry that has one.
struct MailboxDefinition {
  std::string calendarName = "Calendar";
  // The folders under the root folder when the run starts.
  std::vector<FolderDefinition> folders;
  bool allowsCreate = true;  // false: creating a folder is refused
  bool allowsDelete = true;  // false: deleting a folder is refused
};

struct AddressEntry {
  std::string key;
  // A distribution list is no mail user: it opens as an IMAPIProp only.
  bool distributionList = false;
  // Listed by the address book, but its object is gone: opening it fails.
  bool stale = false;
  std::optional<std::string> displayName;
  std::optional<std::string> addressType;
  std::optional<std::string> emailAddress;
  std::optional<std::string> homeMdb;
  std::optional<std::vector<std::string>> proxyAddresses;
  MailboxDefinition mailbox;
};

// A mailbox database, named by its DN (what an entry's homeMdb holds), and
// who may open its mailboxes with administrative rights.
struct DatabaseDefinition {
  std::string dn;
  // Address-book keys, or names of directory groups whose members are
  // administrators.
  std::vector<std::string> administrators;
};

struct ServerDefinition {
  std::string name;
  std::vector<DatabaseDefinition> databases;
};

struct CdoDefinition {
  bool registered = true;  // "MAPI.Session" resolves to a class
};

// One entry of a user's discretionary access-control list, in list order.
struct AccessEntryDefinition {
  std::string trustee;  // a SID, "S-1-5-21-..."
  LONG aceType = 0;
  LONG aceFlags = 0;
  LONG flags = 0;
  LONG accessMask = 0;
  std::optional<std::string> objectType;  // "{...}"
  // Set for an element of the list that is not an entry: the enumerator
  // hands it out as a VARIANT of this type.
  std::optional<unsigned short> variantType;
};

// A discretionary access-control list; users may share one.
using AccessList = std::vector<AccessEntryDefinition>;

struct DirectoryUser {
  std::string name;  // the emulation's own key, unique among users and groups
  std::string dn;
  std::string objectCategory = "person";
  std::vector<std::string> proxyAddresses;
  std::string sid;
  std::vector<std::string> memberOf;       // names of groups
  std::shared_ptr<const AccessList> dacl;  // null: no readable descriptor
  // ADSI hands the descriptor out as its raw bytes, as it does for one it
  // cannot map to an object.
  bool descriptorAsOctets = false;
};

struct DirectoryGroup {
  std::string name;
  std::string sid;
  std::vector<std::string> memberOf;  // groups nest
};

// What LookupAccountSidW answers for a SID.
struct DirectoryAccount {
  std::string sid;
  std::string domain;  // may be empty
  std::string name;
};

// A domain controller that serves the directory over LDAP in place of the
// organisation's own lists (the Linux build only).
struct LdapServerDefinition {
  std::string url;  // "ldap://host[:port]" or "ldaps://..."
  std::string bindName;
  std::string password;
};

struct DirectoryDefinition {
  bool adsiProvider = true;  // the ADSI provider for ADO is installed
  std::optional<LdapServerDefinition> ldap;
  std::optional<std::string> namingContext;  // absent: no domain can be contacted
  std::vector<std::string> domainControllers;
  std::vector<DirectoryUser> users;
  std::vector<DirectoryGroup> groups;
  std::vector<DirectoryAccount> accounts;
  // Lists that users name instead of spelling out their own.
  std::map<std::string, std::shared_ptr<const AccessList>> sharedDacls;
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
  // An automation member's exception report: its 16-bit code in place of
  // the status, and whether its texts wait for pfnDeferredFillIn.
  std::optional<WORD> wCode = std::nullopt;
  bool deferredFillIn = false;

  bool ReportsException() const { return source || description || wCode || deferredFillIn; }
};

struct Organisation {
  std::vector<ProfileDefinition> profiles;
  std::vector<AddressEntry> addressBook;
  std::vector<ServerDefinition> servers;
  DirectoryDefinition directory;
  CdoDefinition cdo;
  std::vector<Fault> faults;
  VerrickSettings verrick;
  // Scales the clock of the platform's waits (WaitForSingleObject) only.
  double waitScale = 1;

  // The address book's look-ups by key and by mailbox DN, built once the
  // organisation is read; without it (an organisation put together in
  // code, or changed since) the look-ups go entry by entry.
  struct Index;
  std::shared_ptr<const Index> index;
  void BuildIndex();

  const AddressEntry* FindEntry(std::string_view key) const;
  // The entry whose own address (its mailbox DN) is dn, ignoring case.
  const AddressEntry* FindEntryByMailboxDn(std::string_view dn) const;
  // The server of that name, ignoring case.
  const ServerDefinition* FindServer(std::string_view name) const;
  // The server holding the database named by dn (ignoring case), and the
  // database; null when no server of the organisation has it.
  const ServerDefinition* FindServerOf(std::string_view databaseDn, const DatabaseDefinition** database) const;
};

// A broken organisation: which field, and what is wrong with it.
class OrganisationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and checks an organisation.
Organisation ParseOrganisation(std::string_view text);

// What Verrick needs of an organisation to check the mailbox with
// smtpAddress, read without building or checking the rest, so that a
// process started once per mailbox does not pay for the whole organisation
// each time: the first address-book entry with the address among its SMTP
// proxy addresses, the "verrick" section with only that mailbox's settings,
// and the wait scale. What it reads is checked as in a full read; the rest
// is only followed far enough to find where each value ends
// (organisation_web_services.cpp).
Organisation ReadWebServicesView(std::string_view text, std::string_view smtpAddress);

// Whether entry has smtpAddress among its SMTP proxy addresses (the
// prefix and the address in any letter case).
bool HasSmtpProxyAddress(const AddressEntry& entry, std::string_view smtpAddress);

// The address of an SMTP proxy address ("smtp:" in any letter case and the
// address); empty for a proxy address of another type.
std::string_view SmtpAddressOf(std::string_view proxyAddress);

// The text of the organisation file at path. A regular file is mapped
// rather than copied where the platform allows. Throws OrganisationError,
// naming the file, when it cannot be read, is a directory or is empty.
class OrganisationFile {
 public:
  // How much of the file its reader goes through: all of it, or only some
  // places, which are then read from the disk as they are reached.
  enum class Reading { Whole, Parts };

  explicit OrganisationFile(const std::string& path, Reading reading = Reading::Whole);
  ~OrganisationFile();
  OrganisationFile(const OrganisationFile&) = delete;
  OrganisationFile& operator=(const OrganisationFile&) = delete;

  // "organisation file 'PATH'", as messages name it.
  const std::string& name() const { return name_; }
  std::string_view text() const { return text_; }
  // Which file this is, and which version of it: its device, inode, size
  // and change times. Empty where the platform does not tell, or for a file
  // that is not a regular one.
  const std::string& identity() const { return identity_; }

 private:
  std::string name_;
  std::string identity_;
  std::string copy_;  // the text when it is not mapped
  void* mapping_ = nullptr;
  size_t mappedSize_ = 0;
  std::string_view text_;
};

// The sample organisation built into the tool.
extern const char kSampleOrganisation[];

}  // namespace emulation
