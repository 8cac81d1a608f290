#include "directory/send_as.h"

#include "platform/console.h"

bool CheckSendAsPermission(IADWrapper& directory, const char* smtpAddress, const AccountNameList& names,
                           const char* displayName) {
  bool found = false;
  const HRESULT result = directory.HasSendAsPermission(smtpAddress, names, found);
  if (result != S_OK) {
    ConsolePrintf("%s: Failed to check Active Directory for Send As permissions (%08lx)\n", displayName, result);
    return false;
  }
  if (!found) {
    ConsolePrintf("%s: No Send As permission for the {%S} account operator.\n", displayName, names.front());
    return false;
  }
  return true;
}
