#include "platform/emulation/com/com_error.h"

#include <cstdio>
#include <cstring>

#include "platform/emulation/win32/win32.h"

namespace {

constexpr HRESULT kFirstWCodeStatus = static_cast<HRESULT>(0x80040200);
constexpr HRESULT kLastWCodeStatus = static_cast<HRESULT>(0x8004FFFF);

}  // namespace

_com_error::_com_error(HRESULT hr, IErrorInfo* perrinfo, bool fAddRef) : m_hresult(hr), m_perrinfo(perrinfo) {
  if (m_perrinfo != nullptr && fAddRef) m_perrinfo->AddRef();
}

_com_error::_com_error(const _com_error& that) : m_hresult(that.m_hresult), m_perrinfo(that.m_perrinfo) {
  if (m_perrinfo != nullptr) m_perrinfo->AddRef();
}

_com_error& _com_error::operator=(const _com_error& that) {
  if (this == &that) return *this;
  if (m_perrinfo != nullptr) m_perrinfo->Release();
  if (m_pszMsg != nullptr) LocalFree(m_pszMsg);
  m_hresult = that.m_hresult;
  m_perrinfo = that.m_perrinfo;
  m_pszMsg = nullptr;
  if (m_perrinfo != nullptr) m_perrinfo->AddRef();
  return *this;
}

_com_error::~_com_error() {
  if (m_perrinfo != nullptr) m_perrinfo->Release();
  if (m_pszMsg != nullptr) LocalFree(m_pszMsg);
}

IErrorInfo* _com_error::ErrorInfo() const {
  if (m_perrinfo != nullptr) m_perrinfo->AddRef();
  return m_perrinfo;
}

const char* _com_error::ErrorMessage() const {
  if (m_pszMsg != nullptr) return m_pszMsg;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(m_hresult),
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&m_pszMsg), 0, nullptr);
  if (m_pszMsg != nullptr) {
    const size_t length = strlen(m_pszMsg);
    if (length > 1 && m_pszMsg[length - 1] == '\n') {
      m_pszMsg[length - 1] = '\0';
      if (m_pszMsg[length - 2] == '\r') m_pszMsg[length - 2] = '\0';
    }
    return m_pszMsg;
  }
  constexpr size_t kSize = 32;
  m_pszMsg = static_cast<LPSTR>(LocalAlloc(LMEM_FIXED, kSize));
  if (m_pszMsg == nullptr) return nullptr;
  if (WCode() != 0)
    snprintf(m_pszMsg, kSize, "IDispatch error #%d", static_cast<int>(WCode()));
  else
    snprintf(m_pszMsg, kSize, "Unknown error 0x%0X", static_cast<unsigned>(m_hresult));
  return m_pszMsg;
}

HRESULT _com_error::WCodeToHRESULT(WORD wCode) {
  return wCode >= 0xFE00 ? kLastWCodeStatus : static_cast<HRESULT>(kFirstWCodeStatus + wCode);
}

WORD _com_error::HRESULTToWCode(HRESULT hr) {
  return (hr >= kFirstWCodeStatus && hr <= kLastWCodeStatus) ? static_cast<WORD>(hr - kFirstWCodeStatus) : 0;
}
