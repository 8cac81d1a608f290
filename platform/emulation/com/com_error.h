// The platform's COM support exception, as its comdef.h defines it: a
// failed status, an optional error object and a message text derived from
// the status when first asked for.
#pragma once

// Built for Windows, the emulation compiles against the SDK itself.
#ifdef _WIN32
#include "platform/windows/sdk.h"
#else

#include "platform/emulation/com/com.h"

class _com_error {
 public:
  // Takes over perrinfo's reference unless fAddRef asks for a new one.
  _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false);
  _com_error(const _com_error& that);
  _com_error& operator=(const _com_error& that);
  virtual ~_com_error();

  HRESULT Error() const { return m_hresult; }
  WORD WCode() const { return HRESULTToWCode(m_hresult); }
  // A new reference to the error object, or null.
  IErrorInfo* ErrorInfo() const;
  // The system's text for the status without its final line break, or
  // "IDispatch error #n" / "Unknown error 0x..." when the system has none.
  const char* ErrorMessage() const;

  static HRESULT WCodeToHRESULT(WORD wCode);
  static WORD HRESULTToWCode(HRESULT hr);

 private:
  HRESULT m_hresult;
  IErrorInfo* m_perrinfo;
  mutable LPSTR m_pszMsg = nullptr;
};

#endif  // _WIN32
