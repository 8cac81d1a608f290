// The emulated platform, as one include: what the tool's core uses of
// Win32, COM, Extended MAPI, ADO and ADSI.
#pragma once

#include "platform/emulation/ado.h"
#include "platform/emulation/adsi.h"
#include "platform/emulation/com.h"
#include "platform/emulation/com_error.h"
#include "platform/emulation/mapi.h"
#include "platform/emulation/win32.h"
#include "platform/emulation/wintypes.h"
