#pragma once

#include "platform/sdk.h"

// No address of the requested type.
constexpr HRESULT kNoAddressOfType = static_cast<HRESULT>(0x800B0001);

// Finds the address of the given type (the driver asks for "SMTP") of one
// address-book entry: the first matching proxy address, or, for an entry
// without proxy addresses, its own address if its type matches. On success
// *address holds a new string from the general heap (free with delete[]);
// on failure it is not written.
HRESULT ResolveSmtpAddress(LPADRBOOK addressBook, ULONG entryIdSize, LPBYTE entryId, const char* addressType,
                           char** address);

// A zero-filled address list of count entries in one MAPI block.
HRESULT CreateAddressList(ULONG count, LPADRLIST* list);

// Stores a copy of values (one new MAPI block) as entry index of list,
// freeing the entry's previous values.
HRESULT SetAddressListEntry(ULONG index, ULONG valueCount, LPSPropValue values, LPADRLIST list);
