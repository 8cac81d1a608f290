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

namespace ado {

// Runs source on connection; returns the open call's success code.
HRESULT Open(Recordset15* recordset, VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType,
             LockTypeEnum lockType, LONG options);
bool IsEof(Recordset15* recordset);
ADO_LONGPTR RecordCount(Recordset15* recordset);
// The current record's fields; the caller releases them.
Fields* GetFields(Recordset15* recordset);
void Close(Recordset15* recordset);
// One field of the collection; the caller releases it.
Field* GetItem(Fields15* fields, VARIANT index);
// The field's value, which the caller clears.
void GetValue(Field20* field, VARIANT* value);

}  // namespace ado
