#pragma once

#include "driver/run_state.h"

// Brings the messaging side of the run up: MAPI, the profile logon, the
// default store and its IExchangeManageStore, the address book, the
// directory connection, the operator's identity, e-mail and SMTP address.
// Returns false after printing the line of the step that failed; whatever
// was acquired stays in state for the driver's clean-up.
bool LogonAndIdentifyOperator(RunState& state);

// Reads the operator's PR_EMAIL_ADDRESS_A into *email. Returns false when
// the read failed or a value of another tag came back; *status is then the
// status to report, the read's own in both cases.
bool ReadOperatorEmail(LPMAILUSER identityUser, LPSPropValue* email, HRESULT* status);
