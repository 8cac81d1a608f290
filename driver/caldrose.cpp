#include "driver/caldrose.h"

#include "cdo/cdo_probe.h"
#include "directory/send_as.h"
#include "driver/run_state.h"
#include "messaging/logon.h"
#include "messaging/mailbox_access.h"
#include "messaging/picker.h"
#include "messaging/smtp_address.h"
#include "platform/console.h"
#include "webprobe/web_services_probe.h"

namespace {

void PrintBanner() {
  ConsolePrintf("%s\n", "Tamberlyn Utility - Caldrose.exe (IExchangeManageStore), Version 1.0");
  ConsolePrintf("%s\n", "Copyright (c) Tamberlyn. All rights reserved.");
}

// The operator in the directory: failures are printed and the run goes on.
void LookUpOperator(RunState& state) {
  HRESULT status = state.directory->GetUserObject(state.smtpAddress, &state.operatorUser);
  if (FAILED(status)) {
    ConsolePrintf("GetUserObject failed (%08lx) for %s\n", status, state.smtpAddress);
    return;
  }
  if (state.operatorUser == nullptr) return;
  status = state.directory->GetAccountNames(state.operatorUser, state.accountNames);
  if (FAILED(status)) ConsolePrintf("GetAccountNames failed (%08lx) for %s\n", status, state.smtpAddress);
}

void PrintUsage() {
  ConsolePrintf("Usage: Caldrose [Domain Controller Name]\n");
  ConsolePrintf("\n");
  ConsolePrintf("[Domain Controller Name]\n");
  ConsolePrintf("\tSpecifies an optional domain controller name for the LDAP query.\n");
  ConsolePrintf("\n");
  ConsolePrintf("This program uses IExchangeManageStore and CDO to open a mailbox.\n");
  ConsolePrintf("\n");
  ConsolePrintf("The program prompts the user for a MAPI profile.\n");
  ConsolePrintf("The user will then be prompted for a mailbox using the Global Address Book.\n");
  ConsolePrintf("\n");
  ConsolePrintf("NOTE: if the test fails please refer to the Administration Guide\n");
  ConsolePrintf("      for Exchange permission information\n");
  ConsolePrintf("\n");
}

}  // namespace

void TestMailbox(RunState& state, const SPropValue* row) {
  const char* displayName = row[kDisplayNameValue].Value.lpszA;
  ProbeMailboxAccess(state.mapiSession, state.manageStore, row);
  if (TestCdoLogon(row[kMailboxDnValue].Value.lpszA, row[kHomeMdbValue].Value.lpszA, displayName))
    ConsolePrintf("%s: CDO test completed successfully\n", displayName);
  else
    ConsolePrintf("%s: CDO test failed\n", displayName);

  delete[] state.smtpAddress;
  state.smtpAddress = nullptr;
  const SBinary& entryId = row[kEntryIdValue].Value.bin;
  HRESULT hr = ResolveSmtpAddress(state.addressBook, entryId.cb, entryId.lpb, "SMTP", &state.smtpAddress);
  // The address book may have lost its session on the way: one more try.
  if (hr == MAPI_E_END_OF_SESSION)
    hr = ResolveSmtpAddress(state.addressBook, entryId.cb, entryId.lpb, "SMTP", &state.smtpAddress);
  if (hr != S_OK) {
    ConsolePrintf("%s: Failed to resolve the SMTP address (%08lx)\n", displayName, hr);
    return;
  }

  if (CheckSendAsPermission(*state.directory, state.smtpAddress, state.accountNames, displayName))
    ConsolePrintf("%s: Active Directory permissions test completed successfully\n", displayName);
  // Whatever the Send-As check gave.
  RunWebServicesProbe(state.smtpAddress, displayName);
}

int RunCaldrose(int argc, char** argv) {
  PrintBanner();
  if (argc >= 3) {
    PrintUsage();
    return 1;
  }

  RunState state;
  state.domainController = argc == 2 ? argv[1] : nullptr;
  state.directory = std::make_unique<IADWrapper>(state.domainController);

  if (LogonAndIdentifyOperator(state)) {
    LookUpOperator(state);
    const HRESULT picked = SelectMailboxes(state.addressBook, state.pickedMailboxes);
    if (FAILED(picked)) {
      ConsolePrintf("Failed to load user properties for address list (%08lx)\n", picked);
    } else {
      for (const PickedMailbox row : state.pickedMailboxes) {
        ConsolePrintf("\n");
        if (HasPickedMailboxTags(row)) TestMailbox(state, row);
      }
    }
  }

  ReleaseRunState(state);
  return 0;
}
