// The Send-As test step of one mailbox.
#pragma once

#include "directory/account_names.h"
#include "directory/ad_wrapper.h"

// Checks that the owner of smtpAddress grants Send As to one of names and
// prints why not ("<displayName>: ..."); true only for a grant.
bool CheckSendAsPermission(IADWrapper& directory, const char* smtpAddress, const AccountNameList& names,
                           const char* displayName);
