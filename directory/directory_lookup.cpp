// IADWrapper's lookups: the user object by SMTP address, the operator's
// account names, and the Send-As check of one mailbox owner.
#include <cstring>
#include <string>

#include "directory/ad_wrapper.h"
#include "directory/ado_calls.h"
#include "directory/com_error_report.h"
#include "directory/ldap_escape.h"
#include "platform/com_support.h"
#include "platform/console.h"
#include "platform/text.h"

namespace {

constexpr const char* kGetUserObjectMethod = "IADWrapper::GetUserObject";
constexpr const char* kGetAccountNamesMethod = "IADWrapper::GetAccountNames";
constexpr const char* kHasSendAsMethod = "IADWrapper::HasSendAsPermission";
constexpr DWORD kNameBufferLength = 260;

// The Send As extended right.
const OLECHAR kSendAsRight[] = OLESTR("{ab721a54-1e2f-11d0-9819-00aa0040529b}");

HRESULT StatusAfterException(HRESULT status) { return FAILED(status) ? status : E_FAIL; }

template <typename T>
void ReleaseInterface(T*& object) {
  if (object != nullptr) {
    object->Release();
    object = nullptr;
  }
}

// A VARIANT's text read as a wide string; empty for a value without text.
std::basic_string<WCHAR> TextOf(const VARIANT& value) {
  if (value.vt != VT_BSTR || value.bstrVal == nullptr) return {};
  return std::basic_string<WCHAR>(value.bstrVal, SysStringLen(value.bstrVal));
}

// Releases its interface when the scope ends, also by an exception.
template <typename T>
class Held {
 public:
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { ReleaseInterface(pointer_); }
  T* get() const { return pointer_; }
  T** out() { return &pointer_; }
  void Set(T* pointer) { pointer_ = pointer; }

 private:
  T* pointer_ = nullptr;
};

// Clears its VARIANT when the scope ends.
class ClearedVariant {
 public:
  ClearedVariant() { VariantInit(&value); }
  ClearedVariant(const ClearedVariant&) = delete;
  ClearedVariant& operator=(const ClearedVariant&) = delete;
  ~ClearedVariant() { VariantClear(&value); }
  VARIANT value;
};

// The adspath of the first field of the recordset's current record.
std::basic_string<WCHAR> ReadAdsPath(Recordset15* recordset) {
  ClearedVariant index;
  index.value.vt = VT_I4;
  index.value.lVal = 0;
  Held<Fields> fields;
  fields.Set(ado::GetFields(recordset));
  Held<Field> field;
  field.Set(ado::GetItem(fields.get(), index.value));
  ClearedVariant value;
  ado::GetValue(field.get(), &value.value);
  return TextOf(value.value);
}

}  // namespace

HRESULT IADWrapper::GetUserObject(const char* smtpAddress, IADs** user) {
  if (connection == nullptr) return E_INVALIDARG;
  HRESULT result = E_FAIL;
  VARIANT namingContext;
  VariantInit(&namingContext);
  IADs* rootDse = nullptr;
  _Recordset* recordset = nullptr;
  std::string query;
  try {
    std::basic_string<WCHAR> rootDsePath = OLESTR("LDAP://");
    if (dcName != nullptr) rootDsePath += WideFromNarrow(dcName, CP_THREAD_ACP) + OLESTR("/");
    rootDsePath += OLESTR("RootDSE");
    result = ADsGetObject(rootDsePath.c_str(), IID_IADs, reinterpret_cast<void**>(&rootDse));
    if (SUCCEEDED(result) && rootDse == nullptr) result = E_FAIL;
    if (FAILED(result)) {
      ConsolePrintf("{%s} Failed to get RootDSE %I64x\n", smtpAddress, WidenStatus(result));
    } else {
      OwnedBstr attribute(AllocateBstr(OLESTR("defaultNamingContext")));
      result = rootDse->Get(attribute.get(), &namingContext);
      if (FAILED(result)) {
        ConsolePrintf("{%s} Failed to get defaultNamingContext %I64x\n", smtpAddress, WidenStatus(result));
      } else {
        query = "<LDAP://";
        if (dcName != nullptr) query += std::string(dcName) + "/";
        query += NarrowFromWide(TextOf(namingContext).c_str(), CP_THREAD_ACP);
        // The address is escaped so that it can only match itself.
        query += ">;(&(objectCategory=person)(proxyAddresses=smtp:" + EscapeLdapFilterValue(smtpAddress) +
                 "));adspath;subtree";
        result = CreateRunningInstance(CLSID_Recordset, IID__Recordset, reinterpret_cast<void**>(&recordset));
        if (FAILED(result)) {
          ConsolePrintf("{%s} Failed to create recordset object %I64x\n", smtpAddress, WidenStatus(result));
        } else {
          {
            ClearedVariant source, activeConnection;
            source.value.bstrVal = AllocateBstr(WideFromNarrow(query.c_str(), CP_ACP).c_str());
            source.value.vt = VT_BSTR;
            activeConnection.value.vt = VT_DISPATCH;
            activeConnection.value.pdispVal = connection;
            connection->AddRef();
            ado::Open(recordset, source.value, activeConnection.value, adOpenStatic, adLockOptimistic, adCmdText);
          }
          if (ado::IsEof(recordset) || ado::RecordCount(recordset) != 1) {
            ConsolePrintf("{%s} Unable to find user in AD\n", smtpAddress);
          } else {
            const std::basic_string<WCHAR> adsPath = ReadAdsPath(recordset);
            ado::Close(recordset);
            ReleaseInterface(recordset);
            result = ADsGetObject(adsPath.c_str(), IID_IADs, reinterpret_cast<void**>(user));
            if (FAILED(result))
              ConsolePrintf("{%s} Unable to get AD object %s due to %I64x\n", smtpAddress,
                            NarrowFromWide(adsPath.c_str(), CP_ACP).c_str(), WidenStatus(result));
          }
        }
      }
    }
  } catch (const _com_error& error) {
    PrintComError(kGetUserObjectMethod, error, query.empty() ? "null" : query.c_str());
    result = StatusAfterException(result);
  } catch (...) {
    PrintExceptionCaught(kGetUserObjectMethod);
    result = StatusAfterException(result);
  }
  try {
    ReleaseInterface(rootDse);
    if (recordset != nullptr) {
      // Released also when the close raises.
      Held<_Recordset> held;
      held.Set(recordset);
      recordset = nullptr;
      ado::Close(held.get());
    }
    VariantClear(&namingContext);
  } catch (...) {
    PrintExceptionCaught(kGetUserObjectMethod);
    result = StatusAfterException(result);
    VariantClear(&namingContext);
  }
  return result;
}

HRESULT IADWrapper::GetBytesFromVariant(VARIANT value, BYTE** bytes, ULONG* byteCount) {
  if ((value.vt & VT_ARRAY) == 0 || value.parray == nullptr || bytes == nullptr || byteCount == nullptr)
    return E_INVALIDARG;
  *bytes = nullptr;
  *byteCount = 0;
  const ULONG count = value.parray->rgsabound[0].cElements;
  *bytes = static_cast<BYTE*>(AllocADsMem(count));
  if (*bytes == nullptr) return E_OUTOFMEMORY;
  void* data = nullptr;
  const HRESULT hr = SafeArrayAccessData(value.parray, &data);
  if (FAILED(hr)) return hr;  // the block stays with the caller
  memcpy(*bytes, data, count);
  SafeArrayUnaccessData(value.parray);
  *byteCount = count;
  return hr;
}

HRESULT IADWrapper::GetAccountNameFromSid(PSID sid, BSTR* name) {
  if (name == nullptr) return E_INVALIDARG;
  WCHAR accountName[kNameBufferLength];
  WCHAR domainName[kNameBufferLength];
  DWORD accountLength = kNameBufferLength;
  DWORD domainLength = kNameBufferLength;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, accountName, &accountLength, domainName, &domainLength, &use)) return E_FAIL;
  if (domainName[0] != 0) {
    OwnedBstr domain(AllocateBstr(domainName));
    OwnedBstr backslash(AllocateBstr(OLESTR("\\")));
    BSTR qualified = nullptr;
    HRESULT hr = VarBstrCat(domain.get(), backslash.get(), &qualified);
    if (FAILED(hr)) throw _com_error(hr);
    OwnedBstr prefix(qualified);
    OwnedBstr account(AllocateBstr(accountName));
    BSTR full = nullptr;
    hr = VarBstrCat(prefix.get(), account.get(), &full);
    if (FAILED(hr)) throw _com_error(hr);
    *name = full;
  } else {
    *name = AllocateBstr(accountName);
  }
  return S_OK;
}

HRESULT IADWrapper::GetAccountNames(IADs* user, AccountNameList& names) {
  if (user == nullptr) return E_INVALIDARG;
  HRESULT status = E_FAIL;
  VARIANT work, element;
  VariantInit(&work);
  VariantInit(&element);
  BYTE* sid = nullptr;
  ULONG sidLength = 0;
  // Resolves the SID copied out of value and appends its name.
  const auto appendNameOf = [&](const VARIANT& value) {
    status = GetBytesFromVariant(value, &sid, &sidLength);
    if (SUCCEEDED(status)) {
      BSTR name = nullptr;
      status = GetAccountNameFromSid(sid, &name);
      if (SUCCEEDED(status))
        names.push_back(name);
      else
        SysFreeString(name);
    }
    if (sid != nullptr) {
      FreeADsMem(sid);
      sid = nullptr;
    }
  };
  try {
    LPWSTR attributes[] = {const_cast<LPWSTR>(OLESTR("TokenGroups"))};
    status = ADsBuildVarArrayStr(attributes, 1, &work);
    if (FAILED(status)) {
      ConsolePrintf("Unable to build the array string %I64x\n", WidenStatus(status));
    } else if (status = user->GetInfoEx(work, 0); FAILED(status)) {
      ConsolePrintf("Unable to get the tokenGroups property %I64x\n", WidenStatus(status));
    } else {
      VariantClear(&work);
      OwnedBstr objectSid(AllocateBstr(OLESTR("objectSid")));
      status = user->Get(objectSid.get(), &work);
      if (SUCCEEDED(status)) appendNameOf(work);
      VariantClear(&work);
      OwnedBstr tokenGroups(AllocateBstr(OLESTR("tokenGroups")));
      status = user->Get(tokenGroups.get(), &work);
      if (FAILED(status)) {
        ConsolePrintf("Unable to get the tokenGroups %I64x\n", WidenStatus(status));
      } else if (work.vt == (VT_ARRAY | VT_VARIANT)) {
        const LONG count = static_cast<LONG>(work.parray->rgsabound[0].cElements);
        for (LONG index = 0; index < count; ++index) {
          status = SafeArrayGetElement(work.parray, &index, &element);
          if (FAILED(status)) continue;
          appendNameOf(element);
          VariantClear(&element);
        }
      }
    }
  } catch (const _com_error& error) {
    PrintComError(kGetAccountNamesMethod, error);
    status = StatusAfterException(status);
  } catch (...) {
    PrintExceptionCaught(kGetAccountNamesMethod);
    status = StatusAfterException(status);
  }
  try {
    if (sid != nullptr) FreeADsMem(sid);
    VariantClear(&work);
    VariantClear(&element);
  } catch (...) {
    PrintExceptionCaught(kGetAccountNamesMethod);
    status = StatusAfterException(status);
  }
  return status;
}

HRESULT IADWrapper::HasSendAsPermission(const char* smtpAddress, const AccountNameList& names, bool& found) {
  if (smtpAddress == nullptr || names.empty()) return E_INVALIDARG;
  HRESULT status = E_FAIL;
  found = false;
  IADs* user = nullptr;
  IADsSecurityDescriptor* descriptor = nullptr;
  IDispatch* aclDispatch = nullptr;
  IADsAccessControlList* acl = nullptr;
  IUnknown* enumUnknown = nullptr;
  IEnumVARIANT* entries = nullptr;
  IADsAccessControlEntry* entry = nullptr;
  BSTR objectType = nullptr;
  BSTR trustee = nullptr;
  VARIANT descriptorValue, entryValue;
  VariantInit(&descriptorValue);
  VariantInit(&entryValue);
  const auto releaseEntry = [&] {
    SysFreeString(trustee);
    trustee = nullptr;
    SysFreeString(objectType);
    objectType = nullptr;
    ReleaseInterface(entry);
    VariantClear(&entryValue);
  };
  // Each step that finishes the check early returns, its status standing.
  const auto check = [&] {
    status = GetUserObject(smtpAddress, &user);
    if (FAILED(status) || user == nullptr) {
      ConsolePrintf("{%s} Unable to get the user object %I64x\n", smtpAddress, WidenStatus(status));
      return;
    }
    OwnedBstr attribute(AllocateBstr(OLESTR("nTSecurityDescriptor")));
    status = user->Get(attribute.get(), &descriptorValue);
    if (FAILED(status)) {
      ConsolePrintf("{%s} Unable to get NTSecurityDescriptor %I64x\n", smtpAddress, WidenStatus(status));
      return;
    }
    if (descriptorValue.vt != VT_DISPATCH) {
      ConsolePrintf("{%s} Invalid variant type\n", smtpAddress);
      return;
    }
    status =
        descriptorValue.pdispVal->QueryInterface(IID_IADsSecurityDescriptor, reinterpret_cast<void**>(&descriptor));
    if (FAILED(status)) return;
    status = descriptor->get_DiscretionaryAcl(&aclDispatch);
    if (FAILED(status)) {
      ConsolePrintf("{%s} Unable to get the DescretionaryACL %I64x\n", smtpAddress, WidenStatus(status));
      return;
    }
    status = aclDispatch->QueryInterface(IID_IADsAccessControlList, reinterpret_cast<void**>(&acl));
    if (FAILED(status)) {
      ConsolePrintf("{%s} Unable to get the AccessControlList %I64x\n", smtpAddress, WidenStatus(status));
      return;
    }
    status = acl->get__NewEnum(&enumUnknown);
    if (FAILED(status)) {
      ConsolePrintf("{%s} Unable to enumerate the AccessControlList %I64x\n", smtpAddress, WidenStatus(status));
      return;
    }
    status = enumUnknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&entries));
    if (FAILED(status)) {
      ConsolePrintf("{%s} Unable to query the enumeration for the AccessControlList %I64x\n", smtpAddress,
                    WidenStatus(status));
      return;
    }
    while (true) {
      ULONG fetched = 0;
      status = entries->Next(1, &entryValue, &fetched);
      if (status == S_FALSE) {
        status = S_OK;
        break;
      }
      if (status != S_OK) break;
      if (fetched != 1) continue;
      if (entryValue.vt != VT_DISPATCH) {
        ConsolePrintf("{%s} Unexpected variant for the AccessControlList %I64x\n", smtpAddress,
                      static_cast<LONGLONG>(entryValue.vt));
        status = S_OK;
        break;
      }
      if (FAILED(entryValue.pdispVal->QueryInterface(IID_IADsAccessControlEntry, reinterpret_cast<void**>(&entry)))) {
        VariantClear(&entryValue);
        continue;
      }
      // The platform's access check reads the list in order: the first
      // entry for the operator that allows or denies Send As decides.
      const bool sendAsType = SUCCEEDED(entry->get_ObjectType(&objectType)) && SysStringLen(objectType) != 0 &&
                              lstrcmpiW(kSendAsRight, objectType) == 0;
      const bool noObjectType = SysStringLen(objectType) == 0;
      LONG aceType = 0, flags = 0, accessMask = 0;
      bool read = SUCCEEDED(entry->get_AceType(&aceType));
      read = read && SUCCEEDED(entry->get_Flags(&flags));
      read = read && SUCCEEDED(entry->get_AccessMask(&accessMask));
      const bool controlAccess = read && (accessMask & ADS_RIGHT_DS_CONTROL_ACCESS) != 0;
      const bool grants = sendAsType && aceType == ADS_ACETYPE_ACCESS_ALLOWED_OBJECT &&
                          (flags & (ADS_FLAG_OBJECT_TYPE_PRESENT | ADS_FLAG_INHERITED_OBJECT_TYPE_PRESENT)) != 0 &&
                          controlAccess;
      const bool denies =
          controlAccess && (aceType == ADS_ACETYPE_ACCESS_DENIED ||
                            (aceType == ADS_ACETYPE_ACCESS_DENIED_OBJECT && (sendAsType || noObjectType)));
      bool denied = false;
      if ((grants || denies) && SUCCEEDED(entry->get_Trustee(&trustee)) && names.Contains(trustee)) {
        found = grants;
        denied = denies;
      }
      releaseEntry();
      if (found || denied) {
        status = S_OK;
        break;
      }
    }
  };
  try {
    check();
  } catch (const _com_error& error) {
    PrintComError(kHasSendAsMethod, error, smtpAddress);
    status = StatusAfterException(status);
  } catch (...) {
    PrintExceptionCaught(kHasSendAsMethod);
    status = StatusAfterException(status);
  }
  try {
    releaseEntry();
    ReleaseInterface(entries);
    ReleaseInterface(enumUnknown);
    ReleaseInterface(acl);
    ReleaseInterface(aclDispatch);
    ReleaseInterface(descriptor);
    VariantClear(&descriptorValue);
    ReleaseInterface(user);
  } catch (...) {
    PrintExceptionCaught(kHasSendAsMethod);
    status = StatusAfterException(status);
  }
  return status;
}
