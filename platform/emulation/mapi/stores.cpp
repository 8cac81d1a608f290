// The emulated message stores: the profile's own, with Exchange's
// management interface, and other users' mailboxes opened through it, with
// their folders. What a mailbox's folders become during the run lives in
// the world, so that a folder created and not deleted is there for the
// next open.
#include <algorithm>
#include <cstring>

#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/directory/directory.h"
#include "platform/emulation/mapi/mapi_memory.h"
#include "platform/emulation/mapi/mapi_objects.h"
#include "platform/emulation/mapi/unserved.h"
#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"
#include "platform/exchange.h"

namespace emulation {

PropertyBag StoreProperties(const StoreDefinition& store, const std::string& key) {
  PropertyBag bag;
  if (store.isDefault) bag.SetBoolean(PR_DEFAULT_STORE, *store.isDefault);
  bag.SetBinary(PR_ENTRYID, MakeEntryId(kStoreProvider, key));
  if (store.displayName) bag.SetString(PR_DISPLAY_NAME_A, *store.displayName);
  return bag;
}

namespace {

// Keys of the entry IDs this provider makes: fields separated by line
// feeds, which no DN or folder name holds.
constexpr char kMailboxKeyPrefix[] = "mailbox\n";
constexpr char kFolderKeyPrefix[] = "folder\n";

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    fields.push_back(text.substr(start, end - start));
  fields.push_back(text.substr(start));
  return fields;
}

// The folders of one mailbox for this run, from its definition when first
// asked for.
std::vector<FolderDefinition>& FoldersOf(const AddressEntry& owner) {
  auto& folders = TheWorld().mailboxFolders;
  const auto found = folders.find(owner.key);
  if (found != folders.end()) return found->second;
  return folders.emplace(owner.key, owner.mailbox.folders).first->second;
}

// Drops the run's copy of a mailbox's folders once they are as defined
// again (the probe's test folder created and deleted): a run over
// thousands of mailboxes then keeps no state for each.
void ForgetUnchangedFolders(const AddressEntry& owner) {
  auto& folders = TheWorld().mailboxFolders;
  const auto found = folders.find(owner.key);
  if (found != folders.end() && found->second == owner.mailbox.folders) folders.erase(found);
}

// The folder at path below the root, or null when it is gone; the root's
// children for an empty path.
std::vector<FolderDefinition>* ChildrenAt(const AddressEntry& owner, const std::vector<std::string>& path) {
  std::vector<FolderDefinition>* children = &FoldersOf(owner);
  for (const std::string& name : path) {
    const auto found = std::find_if(children->begin(), children->end(),
                                    [&](const FolderDefinition& folder) { return folder.name == name; });
    if (found == children->end()) return nullptr;
    children = &found->subfolders;
  }
  return children;
}

std::string FolderKey(const AddressEntry& owner, const std::vector<std::string>& path) {
  std::string key = kFolderKeyPrefix + owner.key;
  for (const std::string& name : path) key += "\n" + name;
  return key;
}

class Folder final : public ObjectBase, public UnservedMapiFolder<IMAPIFolder> {
 public:
  Folder(std::shared_ptr<const Organisation> organisation, const AddressEntry& owner, std::vector<std::string> path)
      : ObjectBase(path.empty() ? "root folder of " + owner.key : "folder \"" + path.back() + "\" of " + owner.key),
        UnservedMapiFolder<IMAPIFolder>("IMAPIFolder"),
        organisation_(std::move(organisation)),
        owner_(owner),
        path_(std::move(path)) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IMAPIProp || riid == IID_IMAPIContainer || riid == IID_IMAPIFolder)
      return static_cast<IMAPIFolder*>(this);
    return nullptr;
  }

  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                                     LPSPropValue* lppPropArray) override {
    *lpcValues = 0;
    *lppPropArray = nullptr;
    const std::string arguments = TagList(lpPropTagArray) + Describe(", 0x%X", ulFlags);
    return Guarded("IMAPIFolder::GetProps", arguments, [&]() -> HRESULT {
      if (ChildrenAt(owner_, path_) == nullptr) return MAPI_E_NOT_FOUND;  // deleted meanwhile
      PropertyBag properties;
      properties.SetBinary(PR_ENTRYID, MakeEntryId(kStoreProvider, FolderKey(owner_, path_)));
      properties.SetString(PR_DISPLAY_NAME_A, path_.empty() ? std::string() : path_.back());
      return properties.GetProps(lpPropTagArray, lpcValues, lppPropArray, "values from IMAPIFolder::GetProps");
    });
  }

  HRESULT STDMETHODCALLTYPE CreateFolder(ULONG ulFolderType, LPSTR lpszFolderName, LPSTR lpszFolderComment,
                                         LPCIID lpInterface, ULONG ulFlags, LPMAPIFOLDER* lppFolder) override {
    *lppFolder = nullptr;
    const std::string arguments = Describe("%u, \"%s\", %s, ", ulFolderType, lpszFolderName ? lpszFolderName : "",
                                           lpszFolderComment ? "comment" : "null") +
                                  NameOf(lpInterface) + Describe(", 0x%X", ulFlags);
    return Guarded("IMAPIFolder::CreateFolder", arguments, [&]() -> HRESULT {
      if (lpszFolderName == nullptr || *lpszFolderName == '\0') return MAPI_E_INVALID_PARAMETER;
      std::vector<FolderDefinition>* children = ChildrenAt(owner_, path_);
      if (children == nullptr) return MAPI_E_NOT_FOUND;
      if (!owner_.mailbox.allowsCreate) return MAPI_E_NO_ACCESS;
      auto existing = std::find_if(children->begin(), children->end(), [&](const FolderDefinition& folder) {
        return SameText(folder.name, lpszFolderName);
      });
      if (existing != children->end() && (ulFlags & OPEN_IF_EXISTS) == 0) return MAPI_E_COLLISION;
      if (existing == children->end()) {
        children->push_back({lpszFolderName, {}});
        existing = std::prev(children->end());
      }
      std::vector<std::string> path = path_;
      path.push_back(existing->name);
      return (new Folder(organisation_, owner_, std::move(path)))
          ->HandOver(lpInterface, IID_IMAPIFolder, reinterpret_cast<void**>(lppFolder));
    });
  }

  HRESULT STDMETHODCALLTYPE DeleteFolder(ULONG cbEntryID, LPENTRYID lpEntryID, LegacyUiParam ulUIParam,
                                         LPMAPIPROGRESS lpProgress, ULONG ulFlags) override {
    const std::string arguments =
        Describe("%u bytes, 0x%lX, %s, 0x%X", cbEntryID, static_cast<unsigned long>(ulUIParam),
                 lpProgress ? "progress" : "null", ulFlags);
    return Guarded("IMAPIFolder::DeleteFolder", arguments, [&]() -> HRESULT {
      const auto key = ReadEntryId(kStoreProvider, cbEntryID, lpEntryID);
      if (!key) return MAPI_E_INVALID_ENTRYID;
      // Only a folder right below this one can be deleted through it.
      const std::string ownKey = FolderKey(owner_, path_);
      if (key->rfind(ownKey + "\n", 0) != 0 || key->find('\n', ownKey.size() + 1) != std::string::npos)
        return MAPI_E_NOT_FOUND;
      const std::string name = key->substr(ownKey.size() + 1);
      std::vector<FolderDefinition>* children = ChildrenAt(owner_, path_);
      if (children == nullptr) return MAPI_E_NOT_FOUND;
      const auto target = std::find_if(children->begin(), children->end(),
                                       [&](const FolderDefinition& folder) { return folder.name == name; });
      if (target == children->end()) return MAPI_E_NOT_FOUND;
      if (!owner_.mailbox.allowsDelete) return MAPI_E_NO_ACCESS;
      if (!target->subfolders.empty() && (ulFlags & DEL_FOLDERS) == 0) return MAPI_E_HAS_FOLDERS;
      children->erase(target);
      ForgetUnchangedFolders(owner_);
      return S_OK;
    });
  }

 private:
  std::shared_ptr<const Organisation> organisation_;
  const AddressEntry& owner_;
  std::vector<std::string> path_;  // folder names below the root
};

// Another user's mailbox, opened through the manage-store interface.
class MailboxStore final : public ObjectBase, public UnservedMsgStore<IMsgStore> {
 public:
  MailboxStore(std::shared_ptr<const Organisation> organisation, const AddressEntry& owner)
      : ObjectBase("mailbox of " + owner.key),
        UnservedMsgStore<IMsgStore>("IMsgStore"),
        organisation_(std::move(organisation)),
        owner_(owner) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IMAPIProp || riid == IID_IMsgStore) return static_cast<IMsgStore*>(this);
    return nullptr;
  }

  // An empty entry ID opens the root folder.
  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override {
    *lppUnk = nullptr;
    const std::string arguments = Describe("%u bytes, ", cbEntryID) + NameOf(lpInterface) + Describe(", 0x%X", ulFlags);
    return Guarded("IMsgStore::OpenEntry", arguments, [&]() -> HRESULT {
      std::vector<std::string> path;
      if (cbEntryID != 0) {
        const auto key = ReadEntryId(kStoreProvider, cbEntryID, lpEntryID);
        if (!key || key->rfind(kFolderKeyPrefix, 0) != 0) return MAPI_E_INVALID_ENTRYID;
        std::vector<std::string> fields = SplitLines(*key);
        if (fields.size() < 2 || fields[1] != owner_.key) return MAPI_E_NOT_FOUND;
        path.assign(fields.begin() + 2, fields.end());
        if (ChildrenAt(owner_, path) == nullptr) return MAPI_E_NOT_FOUND;
      }
      const HRESULT hr = (new Folder(organisation_, owner_, std::move(path)))
                             ->HandOver(lpInterface, IID_IMAPIFolder, reinterpret_cast<void**>(lppUnk));
      if (SUCCEEDED(hr) && lpulObjType != nullptr) *lpulObjType = MAPI_FOLDER;
      return hr;
    });
  }

 private:
  std::shared_ptr<const Organisation> organisation_;
  const AddressEntry& owner_;
};

// The profile's own store. An Exchange store also answers for
// IExchangeManageStore, which makes entry IDs for other users' mailboxes.
class MessageStore final : public ObjectBase,
                           public UnservedMsgStore<IMsgStore>,
                           public UnservedManageStore<IExchangeManageStore> {
 public:
  MessageStore(const StoreDefinition& store, const std::string& key)
      : ObjectBase("store " + key),
        UnservedMsgStore<IMsgStore>("IMsgStore"),
        UnservedManageStore<IExchangeManageStore>("IExchangeManageStore"),
        store_(store) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IMAPIProp || riid == IID_IMsgStore) return static_cast<IMsgStore*>(this);
    // Only a store of an Exchange server can be managed.
    if (riid == IID_IExchangeManageStore && store_.exchange) return static_cast<IExchangeManageStore*>(this);
    return nullptr;
  }

  // The entry ID names the two DNs and the flags; whether the mailbox can
  // be opened is the server's to decide when it is opened.
  HRESULT STDMETHODCALLTYPE CreateStoreEntryID(LPSTR lpszMsgStoreDN, LPSTR lpszMailboxDN, ULONG ulFlags,
                                               ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override {
    *lpcbEntryID = 0;
    *lppEntryID = nullptr;
    const std::string arguments = Describe("\"%s\", \"%s\", 0x%X", lpszMsgStoreDN ? lpszMsgStoreDN : "(null)",
                                           lpszMailboxDN ? lpszMailboxDN : "(null)", ulFlags);
    return Guarded("IExchangeManageStore::CreateStoreEntryID", arguments, [&]() -> HRESULT {
      if (lpszMsgStoreDN == nullptr || lpszMailboxDN == nullptr) return MAPI_E_INVALID_PARAMETER;
      const std::vector<BYTE> entryId = MakeEntryId(
          kStoreProvider, kMailboxKeyPrefix + Describe("%X", ulFlags) + "\n" + lpszMsgStoreDN + "\n" + lpszMailboxDN);
      void* block = nullptr;
      if (const SCODE sc = AllocateBlock(static_cast<ULONG>(entryId.size()), &block,
                                         "entry ID from IExchangeManageStore::CreateStoreEntryID");
          FAILED(sc))
        return sc;
      memcpy(block, entryId.data(), entryId.size());
      *lpcbEntryID = static_cast<ULONG>(entryId.size());
      *lppEntryID = static_cast<LPENTRYID>(block);
      return S_OK;
    });
  }

 private:
  StoreDefinition store_;
};

}  // namespace

HRESULT NewProfileStore(const StoreDefinition& definition, const std::string& key, const IID* iface, LPMDB* store) {
  return (new MessageStore(definition, key))->HandOver(iface, IID_IMsgStore, reinterpret_cast<void**>(store));
}

bool MayOpenMailbox(const std::string& operatorKey, const AddressEntry& owner, const DatabaseDefinition& database,
                    bool adminPrivilege) {
  if (owner.key == operatorKey) return true;
  // Rights granted to a group count for its members, nested ones too.
  return adminPrivilege &&
         std::any_of(database.administrators.begin(), database.administrators.end(),
                     [&](const std::string& name) { return name == operatorKey || IsMemberOrSelf(operatorKey, name); });
}

bool IsMailboxKey(const std::string& key) { return key.rfind(kMailboxKeyPrefix, 0) == 0; }

// As the server decides it: a store DN that no server of the organisation
// holds cannot be reached; a mailbox DN that is not on that database is not
// found; another user's mailbox opens only with administrative privilege
// asked for and granted on its database.
HRESULT OpenMailboxStore(std::shared_ptr<const Organisation> organisation, const std::string& operatorKey,
                         const std::string& key, const IID* iface, LPMDB* store) {
  const std::vector<std::string> fields = SplitLines(key);
  if (fields.size() != 4) return MAPI_E_INVALID_ENTRYID;
  const ULONG flags = static_cast<ULONG>(strtoul(fields[1].c_str(), nullptr, 16));
  const std::string& storeDn = fields[2];
  const std::string& mailboxDn = fields[3];
  const DatabaseDefinition* database = nullptr;
  if (organisation->FindServerOf(storeDn, &database) == nullptr) return MAPI_E_NETWORK_ERROR;
  const AddressEntry* owner = organisation->FindEntryByMailboxDn(mailboxDn);
  if (owner == nullptr || !SameText(*owner->homeMdb, database->dn)) return MAPI_E_NOT_FOUND;
  if (!MayOpenMailbox(operatorKey, *owner, *database, (flags & OPENSTORE_USE_ADMIN_PRIVILEGE) != 0))
    return MAPI_E_LOGON_FAILED;
  return (new MailboxStore(std::move(organisation), *owner))
      ->HandOver(iface, IID_IMsgStore, reinterpret_cast<void**>(store));
}

}  // namespace emulation
