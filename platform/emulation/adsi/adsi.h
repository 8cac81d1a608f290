// Active Directory Service Interfaces of the emulated platform: the
// interfaces, constants and ACTIVEDS exports that the directory subsystem
// uses, each interface with all its methods in the platform's order.
#pragma once

// Built for Windows, the emulation compiles against the SDK itself.
#ifdef _WIN32
#include "platform/windows/sdk.h"
#else

#include "platform/emulation/com/com.h"

extern "C" const IID IID_IADs;
extern "C" const IID IID_IADsSecurityDescriptor;
extern "C" const IID IID_IADsAccessControlList;
extern "C" const IID IID_IADsAccessControlEntry;

typedef enum { ADS_RIGHT_DS_CONTROL_ACCESS = 0x100 } ADS_RIGHTS_ENUM;

typedef enum {
  ADS_ACETYPE_ACCESS_ALLOWED = 0,
  ADS_ACETYPE_ACCESS_DENIED = 0x1,
  ADS_ACETYPE_SYSTEM_AUDIT = 0x2,
  ADS_ACETYPE_ACCESS_ALLOWED_OBJECT = 0x5,
  ADS_ACETYPE_ACCESS_DENIED_OBJECT = 0x6,
  ADS_ACETYPE_SYSTEM_AUDIT_OBJECT = 0x7,
} ADS_ACETYPE_ENUM;

typedef enum {
  ADS_FLAG_OBJECT_TYPE_PRESENT = 0x1,
  ADS_FLAG_INHERITED_OBJECT_TYPE_PRESENT = 0x2,
} ADS_FLAGTYPE_ENUM;

#define E_ADS_BAD_PATHNAME ((HRESULT)0x80005000L)
#define E_ADS_BAD_PARAMETER ((HRESULT)0x80005008L)
#define E_ADS_PROPERTY_NOT_FOUND ((HRESULT)0x8000500DL)

struct IADs : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Class(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GUID(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ADsPath(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Parent(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Schema(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfo() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInfo() = 0;
  virtual HRESULT STDMETHODCALLTYPE Get(BSTR bstrName, VARIANT* pvProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE Put(BSTR bstrName, VARIANT vProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEx(BSTR bstrName, VARIANT* pvProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutEx(LONG lnControlCode, BSTR bstrName, VARIANT vProp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfoEx(VARIANT vProperties, LONG lnReserved) = 0;
};

struct IADsAccessControlEntry : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_AccessMask(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AccessMask(LONG lnAccessMask) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AceType(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AceType(LONG lnAceType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AceFlags(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AceFlags(LONG lnAceFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Flags(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Flags(LONG lnFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ObjectType(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ObjectType(BSTR bstrObjectType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_InheritedObjectType(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_InheritedObjectType(BSTR bstrInheritedObjectType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Trustee(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Trustee(BSTR bstrTrustee) = 0;
};

struct IADsAccessControlList : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_AclRevision(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AclRevision(LONG lnAclRevision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AceCount(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AceCount(LONG lnAceCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddAce(IDispatch* pAccessControlEntry) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveAce(IDispatch* pAccessControlEntry) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyAccessList(IDispatch** ppAccessControlList) = 0;
  virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** retval) = 0;
};

struct IADsSecurityDescriptor : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Revision(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Revision(LONG lnRevision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Control(LONG* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Control(LONG lnControl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Owner(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Owner(BSTR bstrOwner) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OwnerDefaulted(VARIANT_BOOL* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_OwnerDefaulted(VARIANT_BOOL fOwnerDefaulted) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Group(BSTR* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Group(BSTR bstrGroup) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GroupDefaulted(VARIANT_BOOL* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_GroupDefaulted(VARIANT_BOOL fGroupDefaulted) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DiscretionaryAcl(IDispatch** retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DiscretionaryAcl(IDispatch* pDiscretionaryAcl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DaclDefaulted(VARIANT_BOOL* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DaclDefaulted(VARIANT_BOOL fDaclDefaulted) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SystemAcl(IDispatch** retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SystemAcl(IDispatch* pSystemAcl) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SaclDefaulted(VARIANT_BOOL* retval) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SaclDefaulted(VARIANT_BOOL fSaclDefaulted) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopySecurityDescriptor(IDispatch** ppSecurityDescriptor) = 0;
};

// ACTIVEDS exports (ordinals 3, 7, 9, 14, 15).
STDAPI ADsGetObject(LPCWSTR lpszPathName, REFIID riid, void** ppObject);
STDAPI ADsBuildVarArrayStr(LPWSTR* lppPathNames, DWORD dwPathNames, VARIANT* pVar);
STDAPI ADsOpenObject(LPCWSTR lpszPathName, LPCWSTR lpszUserName, LPCWSTR lpszPassword, DWORD dwReserved, REFIID riid,
                     void** ppObject);
STDAPI_(LPVOID) AllocADsMem(DWORD cb);
STDAPI_(BOOL) FreeADsMem(LPVOID pMem);

#endif  // _WIN32
