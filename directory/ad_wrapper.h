#pragma once

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

 private:
  _Connection* connection;
  const char* dcName;
};
