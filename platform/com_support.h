// COM object creation as the platform's COM support classes do it for a
// class context that includes a local server: create for IUnknown, run the
// object, then ask it for the wanted interface.
#pragma once

#include "platform/sdk.h"

// CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER
constexpr DWORD kServerContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// On success *object holds one reference to iid. On failure *object is left
// null and the status of the first step that failed is returned.
HRESULT CreateRunningInstance(REFCLSID clsid, REFIID iid, void** object);
