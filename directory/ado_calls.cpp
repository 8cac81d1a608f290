#include "directory/ado_calls.h"

namespace ado {

void PutConnectionTimeout(Connection15* connection, LONG seconds) {
  RaiseOnFailure(connection->put_ConnectionTimeout(seconds), connection, IID_Connection15);
}

HRESULT Open(Connection15* connection, BSTR connectionString, BSTR userId, BSTR password, LONG options) {
  const HRESULT hr = connection->Open(connectionString, userId, password, options);
  RaiseOnFailure(hr, connection, IID_Connection15);
  return hr;
}

void Close(Connection15* connection) { RaiseOnFailure(connection->Close(), connection, IID_Connection15); }

}  // namespace ado
