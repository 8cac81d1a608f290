// ADO of the emulated platform: the connection interfaces that the
// directory subsystem uses, with the platform's names and IIDs. Interfaces
// declare the subset of their methods in use, in the platform's order.
#pragma once

#include "platform/emulation/com/com.h"

enum ConnectOptionEnum { adConnectUnspecified = -1, adAsyncConnect = 0x10 };

extern "C" const CLSID CLSID_Connection;
extern "C" const IID IID_Connection15;
extern "C" const IID IID__Connection;

struct _ADO : public IDispatch {};

struct Connection15 : public _ADO {
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG lTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(BSTR ConnectionString, BSTR UserID, BSTR Password, LONG Options) = 0;
};

struct _Connection : public Connection15 {};
