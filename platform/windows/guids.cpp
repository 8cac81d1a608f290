// The MAPI and ADO GUIDs that the core uses but mingw-w64's import libraries
// (uuid, adsiid, mapi32) do not define.
#include "platform/sdk.h"

namespace {

// The ADO 2.x GUIDs differ only in the first field.
constexpr GUID AdoGuid(unsigned long data1) {
  return {data1, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
}

}  // namespace

EXTERN_C const IID IID_IMAPIProp = {0x00020303, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

EXTERN_C const CLSID CLSID_Connection = AdoGuid(0x00000514);
EXTERN_C const IID IID_Connection15 = AdoGuid(0x00000515);
EXTERN_C const IID IID__Connection = AdoGuid(0x00000550);

EXTERN_C const CLSID CLSID_Recordset = AdoGuid(0x00000535);
EXTERN_C const IID IID_Recordset15 = AdoGuid(0x0000050E);
EXTERN_C const IID IID__Recordset = AdoGuid(0x00000556);
EXTERN_C const IID IID_Fields15 = AdoGuid(0x00000506);
EXTERN_C const IID IID_Field20 = AdoGuid(0x0000054C);
