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

namespace ado {

HRESULT Open(Recordset15* recordset, VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType,
             LockTypeEnum lockType, LONG options) {
  const HRESULT hr = recordset->Open(source, activeConnection, cursorType, lockType, options);
  RaiseOnFailure(hr, recordset, IID_Recordset15);
  return hr;
}

bool IsEof(Recordset15* recordset) {
  VARIANT_BOOL eof = VARIANT_FALSE;
  RaiseOnFailure(recordset->get_EOF(&eof), recordset, IID_Recordset15);
  return eof != VARIANT_FALSE;
}

ADO_LONGPTR RecordCount(Recordset15* recordset) {
  ADO_LONGPTR count = 0;
  RaiseOnFailure(recordset->get_RecordCount(&count), recordset, IID_Recordset15);
  return count;
}

Fields* GetFields(Recordset15* recordset) {
  Fields* fields = nullptr;
  RaiseOnFailure(recordset->get_Fields(&fields), recordset, IID_Recordset15);
  return fields;
}

void Close(Recordset15* recordset) { RaiseOnFailure(recordset->Close(), recordset, IID_Recordset15); }

Field* GetItem(Fields15* fields, VARIANT index) {
  Field* field = nullptr;
  RaiseOnFailure(fields->get_Item(index, &field), fields, IID_Fields15);
  return field;
}

void GetValue(Field20* field, VARIANT* value) { RaiseOnFailure(field->get_Value(value), field, IID_Field20); }

}  // namespace ado
