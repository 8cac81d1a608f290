// The ADSI objects of the emulated platform: directory objects (RootDSE and
// the objects the directory holds), security descriptors, access-control
// lists with their enumerators, and access-control entries; and the
// ACTIVEDS exports that open them, build string arrays and allocate memory.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/emulation/com/dispatch_object.h"
#include "platform/emulation/com/emulated_strings.h"
#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/com/object.h"
#include "platform/emulation/directory/directory.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/unicode.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

namespace emulation {

namespace {

constexpr HRESULT kNoSuchDomain = static_cast<HRESULT>(0x8007054B);
constexpr HRESULT kServerNotOperational = static_cast<HRESULT>(0x8007203A);
constexpr HRESULT kNoSuchObject = static_cast<HRESULT>(0x80072030);
constexpr HRESULT kSyntaxError = static_cast<HRESULT>(0x800401E4);  // MK_E_SYNTAX

// The faces of an object with one ADSI interface: IUnknown and IDispatch
// answer with it.
#define ADSI_ONE_FACE(Interface)                                                  \
  IUnknown* FaceFor(REFIID riid) override {                                       \
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_##Interface) \
      return static_cast<Interface*>(this);                                       \
    return nullptr;                                                               \
  }

BSTR NewString(const std::string& text) {
  const emulation::WideString wide = Utf16FromUtf8(text);
  return emulation::EmulatedString(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Narrow(const WCHAR* text) { return text == nullptr ? std::string() : Utf8FromUtf16(text); }

// A SID as the platform hands it out: a byte array.
void PutSid(const Sid& sid, VARIANT* value) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(sid.size()));
  memcpy(bytes->pvData, sid.data(), sid.size());
  value->vt = VT_ARRAY | VT_UI1;
  value->parray = bytes;
}

// The trustee text of an entry: "DOMAIN\name", the bare name for an empty
// domain, the SID's text for a SID that no account has.
std::string TrusteeText(const Sid& sid) {
  const std::optional<AccountName> account = TheDirectory().LookupSid(sid);
  if (!account) return SidText(sid);
  return account->domain.empty() ? account->name : account->domain + "\\" + account->name;
}

class AccessControlEntry final : public ObjectBase, public Face<IADsAccessControlEntry> {
 public:
  explicit AccessControlEntry(const AccessEntry& entry) : AccessControlEntry(entry, TrusteeText(entry.trustee)) {}
  ADSI_ONE_FACE(IADsAccessControlEntry)
  UNSERVED_DISPATCH(IADsAccessControlEntry)

  HRESULT STDMETHODCALLTYPE get_AccessMask(LONG* retval) override {
    return Guarded("IADsAccessControlEntry::get_AccessMask", {}, [&] { return *retval = entry_.accessMask, S_OK; });
  }
  HRESULT STDMETHODCALLTYPE put_AccessMask(LONG) override {
    return Unserved("IADsAccessControlEntry::put_AccessMask", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_AceType(LONG* retval) override {
    return Guarded("IADsAccessControlEntry::get_AceType", {}, [&] { return *retval = entry_.aceType, S_OK; });
  }
  HRESULT STDMETHODCALLTYPE put_AceType(LONG) override {
    return Unserved("IADsAccessControlEntry::put_AceType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_AceFlags(LONG*) override {
    return Unserved("IADsAccessControlEntry::get_AceFlags", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_AceFlags(LONG) override {
    return Unserved("IADsAccessControlEntry::put_AceFlags", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Flags(LONG* retval) override {
    return Guarded("IADsAccessControlEntry::get_Flags", {}, [&] { return *retval = entry_.flags, S_OK; });
  }
  HRESULT STDMETHODCALLTYPE put_Flags(LONG) override {
    return Unserved("IADsAccessControlEntry::put_Flags", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_ObjectType(BSTR* retval) override {
    return Guarded("IADsAccessControlEntry::get_ObjectType", {}, [&] {
      // No object type: a null string, as the platform gives it.
      *retval = entry_.objectType ? NewString(*entry_.objectType) : nullptr;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE put_ObjectType(BSTR) override {
    return Unserved("IADsAccessControlEntry::put_ObjectType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_InheritedObjectType(BSTR*) override {
    return Unserved("IADsAccessControlEntry::get_InheritedObjectType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_InheritedObjectType(BSTR) override {
    return Unserved("IADsAccessControlEntry::put_InheritedObjectType", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Trustee(BSTR* retval) override {
    return Guarded("IADsAccessControlEntry::get_Trustee", {}, [&] { return *retval = NewString(trustee_), S_OK; });
  }
  HRESULT STDMETHODCALLTYPE put_Trustee(BSTR) override {
    return Unserved("IADsAccessControlEntry::put_Trustee", E_NOTIMPL);
  }

 private:
  // The trustee's name is looked up once: it names the object too.
  AccessControlEntry(const AccessEntry& entry, std::string trustee)
      : ObjectBase("IADsAccessControlEntry (" + trustee + ")"),
        Face<IADsAccessControlEntry>("IADsAccessControlEntry"),
        entry_(entry),
        trustee_(std::move(trustee)) {}

  AccessEntry entry_;
  std::string trustee_;
};

class EntryEnumerator final : public ObjectBase, public Face<IEnumVARIANT> {
 public:
  explicit EntryEnumerator(std::vector<AccessEntry> entries)
      : ObjectBase("IEnumVARIANT (access-control entries)"),
        Face<IEnumVARIANT>("IEnumVARIANT"),
        entries_(std::move(entries)) {}

  IUnknown* FaceFor(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IEnumVARIANT) return static_cast<IEnumVARIANT*>(this);
    return nullptr;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override {
    return Guarded("IEnumVARIANT::Next", Describe("%u", celt), [&]() -> HRESULT {
      ULONG fetched = 0;
      for (; fetched < celt && next_ < entries_.size(); ++fetched, ++next_) {
        const AccessEntry& entry = entries_[next_];
        VARIANT& value = rgVar[fetched];
        VariantInit(&value);
        if (!entry.variantType) {
          value.vt = VT_DISPATCH;
          (new AccessControlEntry(entry))
              ->HandOver(nullptr, IID_IADsAccessControlEntry, reinterpret_cast<void**>(&value.pdispVal));
        } else {
          value.vt = *entry.variantType;
          value.llVal = 0;
          if (value.vt == VT_BSTR) value.bstrVal = emulation::EmulatedString(OLESTR(""));
        }
      }
      if (pCeltFetched != nullptr) *pCeltFetched = fetched;
      return fetched == celt ? S_OK : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return Unserved("IEnumVARIANT::Skip", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Reset() override { return Unserved("IEnumVARIANT::Reset", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return Unserved("IEnumVARIANT::Clone", E_NOTIMPL); }

 private:
  std::vector<AccessEntry> entries_;
  size_t next_ = 0;
};

class AccessControlList final : public ObjectBase, public Face<IADsAccessControlList> {
 public:
  explicit AccessControlList(std::vector<AccessEntry> entries)
      : ObjectBase("IADsAccessControlList"),
        Face<IADsAccessControlList>("IADsAccessControlList"),
        entries_(std::move(entries)) {}
  ADSI_ONE_FACE(IADsAccessControlList)
  UNSERVED_DISPATCH(IADsAccessControlList)

  HRESULT STDMETHODCALLTYPE get_AclRevision(LONG*) override {
    return Unserved("IADsAccessControlList::get_AclRevision", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_AclRevision(LONG) override {
    return Unserved("IADsAccessControlList::put_AclRevision", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_AceCount(LONG*) override {
    return Unserved("IADsAccessControlList::get_AceCount", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_AceCount(LONG) override {
    return Unserved("IADsAccessControlList::put_AceCount", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE AddAce(IDispatch*) override { return Unserved("IADsAccessControlList::AddAce", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE RemoveAce(IDispatch*) override {
    return Unserved("IADsAccessControlList::RemoveAce", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE CopyAccessList(IDispatch**) override {
    return Unserved("IADsAccessControlList::CopyAccessList", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** retval) override {
    return Guarded("IADsAccessControlList::get__NewEnum", {}, [&] {
      return (new EntryEnumerator(entries_))->HandOver(nullptr, IID_IUnknown, reinterpret_cast<void**>(retval));
    });
  }

 private:
  std::vector<AccessEntry> entries_;
};

class SecurityDescriptor final : public ObjectBase, public Face<IADsSecurityDescriptor> {
 public:
  SecurityDescriptor(const std::string& dn, std::vector<AccessEntry> entries)
      : ObjectBase("IADsSecurityDescriptor of " + dn),
        Face<IADsSecurityDescriptor>("IADsSecurityDescriptor"),
        entries_(std::move(entries)) {}
  ADSI_ONE_FACE(IADsSecurityDescriptor)
  UNSERVED_DISPATCH(IADsSecurityDescriptor)

  HRESULT STDMETHODCALLTYPE get_Revision(LONG*) override {
    return Unserved("IADsSecurityDescriptor::get_Revision", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Revision(LONG) override {
    return Unserved("IADsSecurityDescriptor::put_Revision", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Control(LONG*) override {
    return Unserved("IADsSecurityDescriptor::get_Control", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Control(LONG) override {
    return Unserved("IADsSecurityDescriptor::put_Control", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Owner(BSTR*) override {
    return Unserved("IADsSecurityDescriptor::get_Owner", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Owner(BSTR) override {
    return Unserved("IADsSecurityDescriptor::put_Owner", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_OwnerDefaulted(VARIANT_BOOL*) override {
    return Unserved("IADsSecurityDescriptor::get_OwnerDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_OwnerDefaulted(VARIANT_BOOL) override {
    return Unserved("IADsSecurityDescriptor::put_OwnerDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_Group(BSTR*) override {
    return Unserved("IADsSecurityDescriptor::get_Group", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_Group(BSTR) override {
    return Unserved("IADsSecurityDescriptor::put_Group", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_GroupDefaulted(VARIANT_BOOL*) override {
    return Unserved("IADsSecurityDescriptor::get_GroupDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_GroupDefaulted(VARIANT_BOOL) override {
    return Unserved("IADsSecurityDescriptor::put_GroupDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_DiscretionaryAcl(IDispatch** retval) override {
    return Guarded("IADsSecurityDescriptor::get_DiscretionaryAcl", {}, [&] {
      return (new AccessControlList(entries_))
          ->HandOver(nullptr, IID_IADsAccessControlList, reinterpret_cast<void**>(retval));
    });
  }
  HRESULT STDMETHODCALLTYPE put_DiscretionaryAcl(IDispatch*) override {
    return Unserved("IADsSecurityDescriptor::put_DiscretionaryAcl", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_DaclDefaulted(VARIANT_BOOL*) override {
    return Unserved("IADsSecurityDescriptor::get_DaclDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_DaclDefaulted(VARIANT_BOOL) override {
    return Unserved("IADsSecurityDescriptor::put_DaclDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_SystemAcl(IDispatch**) override {
    return Unserved("IADsSecurityDescriptor::get_SystemAcl", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_SystemAcl(IDispatch*) override {
    return Unserved("IADsSecurityDescriptor::put_SystemAcl", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE get_SaclDefaulted(VARIANT_BOOL*) override {
    return Unserved("IADsSecurityDescriptor::get_SaclDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE put_SaclDefaulted(VARIANT_BOOL) override {
    return Unserved("IADsSecurityDescriptor::put_SaclDefaulted", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE CopySecurityDescriptor(IDispatch**) override {
    return Unserved("IADsSecurityDescriptor::CopySecurityDescriptor", E_NOTIMPL);
  }

 private:
  std::vector<AccessEntry> entries_;
};

// RootDSE, or an object of the directory named by its DN.
class DirectoryObject final : public ObjectBase, public Face<IADs> {
 public:
  DirectoryObject(std::string path, std::optional<std::string> dn)
      : ObjectBase("IADs " + path), Face<IADs>("IADs"), path_(std::move(path)), dn_(std::move(dn)) {}
  ADSI_ONE_FACE(IADs)
  UNSERVED_DISPATCH(IADs)

  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return Unserved("IADs::get_Name", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Class(BSTR*) override { return Unserved("IADs::get_Class", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_GUID(BSTR*) override { return Unserved("IADs::get_GUID", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR*) override { return Unserved("IADs::get_ADsPath", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Parent(BSTR*) override { return Unserved("IADs::get_Parent", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE get_Schema(BSTR*) override { return Unserved("IADs::get_Schema", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE GetInfo() override { return Unserved("IADs::GetInfo", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE SetInfo() override { return Unserved("IADs::SetInfo", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE Put(BSTR, VARIANT) override { return Unserved("IADs::Put", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE GetEx(BSTR, VARIANT*) override { return Unserved("IADs::GetEx", E_NOTIMPL); }
  HRESULT STDMETHODCALLTYPE PutEx(LONG, BSTR, VARIANT) override { return Unserved("IADs::PutEx", E_NOTIMPL); }

  HRESULT STDMETHODCALLTYPE Get(BSTR bstrName, VARIANT* pvProp) override {
    return Guarded("IADs::Get", Quoted(bstrName), [&]() -> HRESULT {
      if (bstrName == nullptr || pvProp == nullptr) return E_ADS_BAD_PARAMETER;
      VariantInit(pvProp);
      return dn_ ? GetOfObject(Narrow(bstrName), pvProp) : GetOfRootDse(Narrow(bstrName), pvProp);
    });
  }

  HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT vProperties, LONG lnReserved) override {
    return Guarded("IADs::GetInfoEx", Describe("0x%X, %d", vProperties.vt, lnReserved), [&]() -> HRESULT {
      std::vector<std::string> names;
      if (vProperties.vt == VT_BSTR) {
        names.push_back(Narrow(vProperties.bstrVal));
      } else if (vProperties.vt == (VT_ARRAY | VT_VARIANT) && vProperties.parray != nullptr) {
        const auto* elements = static_cast<const VARIANT*>(vProperties.parray->pvData);
        for (ULONG i = 0; i < vProperties.parray->rgsabound[0].cElements; ++i) {
          if (elements[i].vt != VT_BSTR) return E_ADS_BAD_PARAMETER;
          names.push_back(Narrow(elements[i].bstrVal));
        }
      } else {
        return E_ADS_BAD_PARAMETER;
      }
      // Constructed attributes are computed on request only.
      for (const std::string& name : names)
        if (SameText(name, "tokenGroups")) tokenGroupsLoaded_ = true;
      return S_OK;
    });
  }

 private:
  HRESULT GetOfRootDse(const std::string& name, VARIANT* value) {
    if (!SameText(name, "defaultNamingContext")) return E_ADS_PROPERTY_NOT_FOUND;
    value->vt = VT_BSTR;
    value->bstrVal = NewString(TheDirectory().DefaultNamingContext());
    return S_OK;
  }

  HRESULT GetOfObject(const std::string& name, VARIANT* value) {
    const Directory& directory = TheDirectory();
    if (SameText(name, "objectSid")) {
      const std::optional<Sid> sid = directory.ObjectSid(*dn_);
      if (!sid) return E_ADS_PROPERTY_NOT_FOUND;
      PutSid(*sid, value);
      return S_OK;
    }
    if (SameText(name, "nTSecurityDescriptor")) {
      std::optional<std::vector<AccessEntry>> dacl = directory.Dacl(*dn_);
      if (!dacl) return E_ADS_PROPERTY_NOT_FOUND;
      if (directory.DescriptorAsOctets(*dn_)) {
        // A self-relative descriptor's header: revision 1, SE_DACL_PRESENT
        // and SE_SELF_RELATIVE, no owner, group or lists.
        const std::vector<BYTE> header = {1, 0, 0x04, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(header.size()));
        if (bytes == nullptr) return E_OUTOFMEMORY;
        memcpy(bytes->pvData, header.data(), header.size());
        value->vt = VT_ARRAY | VT_UI1;
        value->parray = bytes;
        return S_OK;
      }
      value->vt = VT_DISPATCH;
      return (new SecurityDescriptor(*dn_, std::move(*dacl)))
          ->HandOver(nullptr, IID_IADsSecurityDescriptor, reinterpret_cast<void**>(&value->pdispVal));
    }
    if (SameText(name, "tokenGroups")) {
      if (!tokenGroupsLoaded_) return E_ADS_PROPERTY_NOT_FOUND;
      const std::vector<Sid> groups = directory.TokenGroups(*dn_);
      if (groups.empty()) return E_ADS_PROPERTY_NOT_FOUND;
      // One value comes back as itself, several as an array of VARIANTs.
      if (groups.size() == 1) {
        PutSid(groups.front(), value);
        return S_OK;
      }
      SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(groups.size()));
      auto* elements = static_cast<VARIANT*>(array->pvData);
      for (size_t i = 0; i < groups.size(); ++i) PutSid(groups[i], &elements[i]);
      value->vt = VT_ARRAY | VT_VARIANT;
      value->parray = array;
      return S_OK;
    }
    const std::vector<std::string> values = directory.Values(*dn_, name);
    if (values.empty()) return E_ADS_PROPERTY_NOT_FOUND;
    if (values.size() == 1) {
      value->vt = VT_BSTR;
      value->bstrVal = NewString(values.front());
      return S_OK;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (size_t i = 0; i < values.size(); ++i) {
      elements[i].vt = VT_BSTR;
      elements[i].bstrVal = NewString(values[i]);
    }
    value->vt = VT_ARRAY | VT_VARIANT;
    value->parray = array;
    return S_OK;
  }

  std::string path_;
  std::optional<std::string> dn_;  // none for RootDSE
  bool tokenGroupsLoaded_ = false;
};

// Opens "LDAP://[server/]RootDSE" or "LDAP://[server/]<dn>".
HRESULT OpenByPath(LPCWSTR path, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!TheWorld().comInitialized) return CO_E_NOTINITIALIZED;
  if (path == nullptr) return E_ADS_BAD_PATHNAME;
  const std::string text = Narrow(path);
  // The provider's name is case-sensitive.
  if (text.rfind("LDAP://", 0) != 0) return kSyntaxError;
  std::string rest = text.substr(7);
  std::optional<std::string> server;
  if (const size_t slash = rest.find('/'); slash != std::string::npos) {
    server = rest.substr(0, slash);
    rest = rest.substr(slash + 1);
  }
  if (rest.empty()) return E_ADS_BAD_PATHNAME;
  const Directory& directory = TheDirectory();
  if (!directory.Reachable(server)) return server ? kServerNotOperational : kNoSuchDomain;
  std::optional<std::string> dn;
  if (!SameText(rest, "RootDSE")) {
    if (!directory.Exists(rest)) return kNoSuchObject;
    dn = rest;
  }
  return (new DirectoryObject(text, dn))->HandOver(&riid, IID_IADs, object);
}

}  // namespace

}  // namespace emulation

using emulation::Describe;
using emulation::Quoted;
using emulation::UnderFault;

HRESULT ADsGetObject(LPCWSTR lpszPathName, REFIID riid, void** ppObject) {
  return UnderFault("ADsGetObject", Quoted(lpszPathName) + ", " + emulation::NameOf(&riid),
                    [&] { return emulation::OpenByPath(lpszPathName, riid, ppObject); });
}

HRESULT ADsOpenObject(LPCWSTR lpszPathName, LPCWSTR lpszUserName, LPCWSTR, DWORD dwReserved, REFIID riid,
                      void** ppObject) {
  // The password stays out of the trace.
  return UnderFault(
      "ADsOpenObject",
      Quoted(lpszPathName) + ", " + Quoted(lpszUserName) + Describe(", 0x%X, ", dwReserved) + emulation::NameOf(&riid),
      [&] { return emulation::OpenByPath(lpszPathName, riid, ppObject); });
}

HRESULT ADsBuildVarArrayStr(LPWSTR* lppPathNames, DWORD dwPathNames, VARIANT* pVar) {
  std::string names;
  for (DWORD i = 0; lppPathNames != nullptr && i < dwPathNames; ++i)
    names += (i == 0 ? "" : ", ") + Quoted(lppPathNames[i]);
  return UnderFault("ADsBuildVarArrayStr", "[" + names + Describe("], %u", dwPathNames), [&]() -> HRESULT {
    if (pVar == nullptr || (lppPathNames == nullptr && dwPathNames > 0)) return E_ADS_BAD_PARAMETER;
    VariantInit(pVar);
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, dwPathNames);
    if (array == nullptr) return E_OUTOFMEMORY;
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (DWORD i = 0; i < dwPathNames; ++i) {
      elements[i].vt = VT_BSTR;
      elements[i].bstrVal = emulation::EmulatedString(lppPathNames[i]);
    }
    pVar->vt = VT_ARRAY | VT_VARIANT;
    pVar->parray = array;
    return S_OK;
  });
}

LPVOID AllocADsMem(DWORD cb) {
  void* block = nullptr;
  UnderFault("AllocADsMem", Describe("%u", cb), [&]() -> HRESULT {
    // Zeroed, as the platform gives it.
    block = calloc(1, cb == 0 ? 1 : cb);
    if (block == nullptr) return E_OUTOFMEMORY;
    emulation::Ledger::Instance().Acquire(emulation::Resource::DirectoryMemory, block,
                                          "of " + std::to_string(cb) + " bytes");
    return S_OK;
  });
  return block;
}

BOOL FreeADsMem(LPVOID pMem) {
  if (pMem == nullptr) return FALSE;
  if (!emulation::Ledger::Instance().Release(emulation::Resource::DirectoryMemory, pMem, "FreeADsMem")) return FALSE;
  free(pMem);
  return TRUE;
}
