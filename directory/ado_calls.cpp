#include "directory/ado_calls.h"

void RaiseOnFailure(HRESULT status, IUnknown* object, REFIID declaringInterface) {
  if (SUCCEEDED(status)) return;
  IErrorInfo* errorInfo = nullptr;
  ISupportErrorInfo* support = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
    const HRESULT supported = support->InterfaceSupportsErrorInfo(declaringInterface);
    support->Release();
    if (supported == S_OK && GetErrorInfo(0, &errorInfo) != S_OK) errorInfo = nullptr;
  }
  throw _com_error(status, errorInfo);  // takes over the reference
}

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
