// The ADO call layer: each ADO method either succeeds or raises a
// _com_error, with the error object of the call attached when the object
// supports error information for the method's declaring interface.
#pragma once

#include "platform/com_support.h"
#include "platform/sdk.h"

namespace ado {

void PutConnectionTimeout(Connection15* connection, LONG seconds);
// Returns the open call's success code.
HRESULT Open(Connection15* connection, BSTR connectionString, BSTR userId, BSTR password, LONG options);
void Close(Connection15* connection);

}  // namespace ado
