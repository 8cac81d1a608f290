// The record of every long-lived object of one run. The driver owns every
// field; other parts fill fields handed to them or borrow them for a call.
#pragma once

#include <memory>
#include <vector>

#include "directory/account_names.h"
#include "directory/ad_wrapper.h"
#include "messaging/picked_mailbox.h"
#include "platform/sdk.h"

struct RunState {
  // The command-line argument itself, borrowed; null when none was given.
  const char* domainController = nullptr;
  std::unique_ptr<IADWrapper> directory;
  AccountNameList accountNames;
  std::vector<PickedMailbox> pickedMailboxes;

  LPMAPISESSION mapiSession = nullptr;
  LPMAPITABLE storesTable = nullptr;
  LPSRowSet storeRows = nullptr;
  LPMDB defaultStore = nullptr;
  LPEXCHANGEMANAGESTORE manageStore = nullptr;
  LPADRBOOK addressBook = nullptr;
  ULONG identityEntryIdSize = 0;
  LPENTRYID identityEntryId = nullptr;
  LPMAILUSER identityUser = nullptr;
  LPSPropValue identityEmail = nullptr;
  // The operator's SMTP address, later that of the mailbox under test.
  char* smtpAddress = nullptr;
  IADs* operatorUser = nullptr;
};

// Releases every field in the run's fixed order, then shuts MAPI down.
void ReleaseRunState(RunState& state);
