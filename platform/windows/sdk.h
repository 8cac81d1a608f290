// The Windows SDK headers that the core uses, as mingw-w64 ships them.
#pragma once

#include <activeds.h>
#include <comdef.h>
#include <mapicode.h>
#include <mapidefs.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>
// A corrected copy made at configure time (see cmake/WindowsAdoHeader.cmake).
#include <adoint.h>

// The ADO and MAPI IIDs that mingw-w64's import libraries do not define
// are defined in platform/windows/guids.cpp.
EXTERN_C const IID IID_IMAPIProp;
