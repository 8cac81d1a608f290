#include "directory/ad_wrapper.h"

#include "directory/ado_calls.h"
#include "directory/com_error_report.h"
#include "platform/com_support.h"
#include "platform/console.h"

namespace {

constexpr const char* kOpenMethod = "IADWrapper::Open";
constexpr const char* kCloseMethod = "IADWrapper::Close";
constexpr LONG kConnectionTimeoutSeconds = 30;

// A caught exception leaves a failure status as it is, else makes it E_FAIL.
HRESULT StatusAfterException(HRESULT status) { return FAILED(status) ? status : E_FAIL; }

}  // namespace

IADWrapper::IADWrapper(const char* dcName) : connection(nullptr), dcName(dcName) {}

IADWrapper::~IADWrapper() {
  Close();
  if (connection != nullptr) {
    connection->Release();
    connection = nullptr;
  }
}

HRESULT IADWrapper::Open() {
  HRESULT result = E_FAIL;
  if (connection != nullptr) {
    connection->Release();
    connection = nullptr;
  }
  // Both texts are freed on every way out; a failed allocation is caught
  // below like any other exception of the open.
  OwnedBstr emptyText;
  OwnedBstr connectionString;
  try {
    // The empty text serves as both user name and password: empty, not null.
    emptyText.Reset(AllocateBstr(OLESTR("")));
    result = CreateRunningInstance(CLSID_Connection, IID__Connection, reinterpret_cast<void**>(&connection));
    if (FAILED(result)) {
      ConsolePrintf("Failed to create AD connection object %I64x\n", WidenStatus(result));
    } else {
      ado::PutConnectionTimeout(connection, kConnectionTimeoutSeconds);
      connectionString.Reset(AllocateBstr(OLESTR("Provider=ADSDSOObject")));
      result = ado::Open(connection, connectionString.get(), emptyText.get(), emptyText.get(), adConnectUnspecified);
    }
  } catch (const _com_error& error) {
    PrintComError(kOpenMethod, error);
    result = StatusAfterException(result);
  } catch (...) {
    PrintExceptionCaught(kOpenMethod);
    result = StatusAfterException(result);
  }
  if (FAILED(result)) Close();
  return result;
}

void IADWrapper::Close() {
  if (connection == nullptr) return;
  try {
    ado::Close(connection);
    connection->Release();
    connection = nullptr;
  } catch (...) {
    // The connection stays held: a later Close tries again, and the
    // destructor releases it.
    PrintExceptionCaught(kCloseMethod);
  }
}
