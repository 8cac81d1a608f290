// The emulated platform, as one include: what the tool's core uses of
// Win32, COM, Extended MAPI, ADO and ADSI.
#pragma once

#include "platform/emulation/ado/ado.h"
#include "platform/emulation/adsi/adsi.h"
#include "platform/emulation/com/com.h"
#include "platform/emulation/com/com_error.h"
#include "platform/emulation/mapi/mapi.h"
#include "platform/emulation/runtime/wintypes.h"
#include "platform/emulation/win32/win32.h"
