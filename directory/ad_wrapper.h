#pragma once

#include "directory/account_names.h"
#include "platform/sdk.h"

// The tool's one gateway to Active Directory: an ADO connection to the ADSI
// provider, and the optional domain controller that LDAP paths name.
class IADWrapper {
 public:
  // dcName is kept, not copied: it must outlive the wrapper.
  explicit IADWrapper(const char* dcName);
  IADWrapper(const IADWrapper&) = delete;
  IADWrapper& operator=(const IADWrapper&) = delete;
  // Closes the connection, and releases it even if the close failed.
  virtual ~IADWrapper();

  // Creates and opens the connection. Returns the open call's success code,
  // or the creation status or E_FAIL after printing what failed.
  HRESULT Open();
  // Closes and releases the connection; with none held, does nothing.
  void Close();

  bool HasConnection() const { return connection != nullptr; }

  // Finds the user object that owns smtpAddress and opens it into *user,
  // which is written only when it is found. A success without an object
  // means no single user has the address.
  HRESULT GetUserObject(const char* smtpAddress, IADs** user);
  // Appends the names of user's account and of the groups in its token to
  // names, the account's own first.
  HRESULT GetAccountNames(IADs* user, AccountNameList& names);
  // Whether the discretionary list of smtpAddress's owner grants Send As to
  // one of names; found is meaningful when the result is S_OK.
  HRESULT HasSendAsPermission(const char* smtpAddress, const AccountNameList& names, bool& found);

 private:
  // The bytes of the array in value, in a block from AllocADsMem.
  HRESULT GetBytesFromVariant(VARIANT value, BYTE** bytes, ULONG* byteCount);
  // "DOMAIN\name", or the bare name for an empty domain.
  HRESULT GetAccountNameFromSid(PSID sid, BSTR* name);

  _Connection* connection;
  const char* dcName;
};
