#pragma once

#include "messaging/picked_mailbox.h"
#include "platform/sdk.h"

// Opens the mailbox of row with administrative privilege through the
// default store's IExchangeManageStore, opens its root folder, creates the
// test folder ("Tamberlyn Test Folder") there and deletes it again, printing one line per step.
// Everything it acquires is released before it returns.
void ProbeMailboxAccess(LPMAPISESSION session, LPEXCHANGEMANAGESTORE manageStore, const SPropValue* row);
