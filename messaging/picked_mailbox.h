#pragma once

#include "platform/sdk.h"

// One picked mailbox: the four property values read from its address-book
// entry, one MAPI block.
using PickedMailbox = LPSPropValue;

// Where each value stands in a PickedMailbox.
enum PickedMailboxValue : ULONG {
  kDisplayNameValue = 0,  // PR_DISPLAY_NAME_A
  kHomeMdbValue = 1,      // PR_EMS_AB_HOME_MDB_A, the home message store's DN
  kMailboxDnValue = 2,    // PR_EMAIL_ADDRESS_A, the mailbox's DN
  kEntryIdValue = 3,      // PR_ENTRYID of the owner's address-book entry
  kPickedMailboxValues = 4,
};
