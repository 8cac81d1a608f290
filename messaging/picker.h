#pragma once

#include <vector>

#include "messaging/picked_mailbox.h"
#include "platform/sdk.h"

// Shows the "Select Mailbox" dialog once and appends to pickedList, in the
// dialog's order, one row for every chosen entry that opens as a mail user
// and carries the four properties of a PickedMailbox. An entry that cannot
// be opened or read prints its line and is skipped; the others are still
// picked. Returns a failure only when the dialog call fails or an
// exception ends the work (E_FAIL); otherwise the most recent successful
// platform result.
HRESULT SelectMailboxes(LPADRBOOK addressBook, std::vector<PickedMailbox>& pickedList);

// True when values holds the four tags of a PickedMailbox in their order.
bool HasPickedMailboxTags(const SPropValue* values);
