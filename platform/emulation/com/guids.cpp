// The GUIDs of the emulated platform, with the platform's values.
#include "platform/emulation/cdo/cdo.h"
#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"
#include "platform/exchange.h"

namespace {

// The GUID families that OLE and ADO number their interfaces in.
constexpr GUID OleGuid(DWORD data1) {
  return {data1, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}
constexpr GUID AdoGuid(DWORD data1) {
  return {data1, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
}

}  // namespace

extern "C" {
// Defined for Windows by its SDK libraries (uuid, adsiid) and
// platform/windows/guids.cpp.
#ifndef _WIN32
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = OleGuid(0x00000000);
const IID IID_IDispatch = OleGuid(0x00020400);
const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_IMAPIProp = OleGuid(0x00020303);

const CLSID CLSID_Connection = AdoGuid(0x00000514);
const IID IID_Connection15 = AdoGuid(0x00000515);
const IID IID__Connection = AdoGuid(0x00000550);

const CLSID CLSID_Recordset = AdoGuid(0x00000535);
const IID IID_Recordset15 = AdoGuid(0x0000050E);
const IID IID__Recordset = AdoGuid(0x00000556);
const IID IID_Fields15 = AdoGuid(0x00000506);
const IID IID_Field20 = AdoGuid(0x0000054C);

const IID IID_IEnumVARIANT = OleGuid(0x00020404);
const IID IID_IRunnableObject = OleGuid(0x00000126);

const IID IID_IADs = {0xFD8256D0, 0xFD15, 0x11CE, {0xAB, 0xC4, 0x02, 0x60, 0x8C, 0x9E, 0x75, 0x53}};
const IID IID_IADsSecurityDescriptor = {0xB8C787CA, 0x9BDD, 0x11D0, {0x85, 0x2C, 0x00, 0xC0, 0x4F, 0xD8, 0xD5, 0x03}};
const IID IID_IADsAccessControlList = {0xB7EE91CC, 0x9BDD, 0x11D0, {0x85, 0x2C, 0x00, 0xC0, 0x4F, 0xD8, 0xD5, 0x03}};
const IID IID_IADsAccessControlEntry = {0xB4F3A14C, 0x9BDD, 0x11D0, {0x85, 0x2C, 0x00, 0xC0, 0x4F, 0xD8, 0xD5, 0x03}};
#endif  // _WIN32

const IID IID_IMAPISession = OleGuid(0x00020300);
const IID IID_IMAPITable = OleGuid(0x00020301);
const IID IID_IMsgStore = OleGuid(0x00020306);
const IID IID_IAddrBook = OleGuid(0x00020309);
const IID IID_IMailUser = OleGuid(0x0002030A);
// The class ID the emulation registers CDO's "MAPI.Session" under.
const CLSID CLSID_CdoSession = {0x3FA7DEB3, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};
const IID IID_IMAPIContainer = OleGuid(0x0002030B);
const IID IID_IMAPIFolder = OleGuid(0x0002030C);
}

#ifndef _WIN32
bool operator==(const GUID& left, const GUID& right) {
  if (left.Data1 != right.Data1 || left.Data2 != right.Data2 || left.Data3 != right.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (left.Data4[i] != right.Data4[i]) return false;
  return true;
}
#endif  // _WIN32

namespace emulation {

std::string NameOf(const IID* iid) {
  if (iid == nullptr) return "null";
  static const std::pair<const IID*, const char*> kNames[] = {
      {&IID_IUnknown, "IUnknown"},
      {&IID_IDispatch, "IDispatch"},
      {&IID_ISupportErrorInfo, "ISupportErrorInfo"},
      {&IID_IMAPISession, "IMAPISession"},
      {&IID_IMAPITable, "IMAPITable"},
      {&IID_IMAPIProp, "IMAPIProp"},
      {&IID_IMsgStore, "IMsgStore"},
      {&IID_IAddrBook, "IAddrBook"},
      {&IID_IMailUser, "IMailUser"},
      {&IID_IExchangeManageStore, "IExchangeManageStore"},
      {&CLSID_Connection, "ADODB.Connection"},
      {&IID_Connection15, "Connection15"},
      {&IID__Connection, "_Connection"},
      {&CLSID_Recordset, "ADODB.Recordset"},
      {&IID_Recordset15, "Recordset15"},
      {&IID__Recordset, "_Recordset"},
      {&IID_Fields15, "Fields15"},
      {&IID_Field20, "Field20"},
      {&IID_IADs, "IADs"},
      {&IID_IADsSecurityDescriptor, "IADsSecurityDescriptor"},
      {&IID_IADsAccessControlList, "IADsAccessControlList"},
      {&IID_IADsAccessControlEntry, "IADsAccessControlEntry"},
      {&IID_IEnumVARIANT, "IEnumVARIANT"},
      {&IID_IRunnableObject, "IRunnableObject"},
  };
  for (const auto& [known, name] : kNames)
    if (*known == *iid) return name;
  return Describe("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", iid->Data1, iid->Data2, iid->Data3,
                  iid->Data4[0], iid->Data4[1], iid->Data4[2], iid->Data4[3], iid->Data4[4], iid->Data4[5],
                  iid->Data4[6], iid->Data4[7]);
}

std::string CreationArguments(REFCLSID clsid, const IUnknown* outer, DWORD context, REFIID riid) {
  return NameOf(&clsid) + ", " + (outer != nullptr ? "outer" : "null") +
         Describe(", 0x%X, ", static_cast<unsigned>(context)) + NameOf(&riid);
}

}  // namespace emulation
