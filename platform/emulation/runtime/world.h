// The state of the emulated platform during one run: the organisation it
// serves, whether COM is up, where the dialogs read their answers, and the
// calls counted for planned faults.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/mapi/mapi.h"
#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/win32/wintypes.h"

namespace emulation {

struct World {
  // Set by MAPIInitialize from the organisation file, null before.
  std::shared_ptr<const Organisation> organisation;
  bool comInitialized = false;
  std::map<std::string, unsigned, std::less<>> callCounts;
  // The platform calls made, with their arguments, in order.
  std::vector<std::string> trace;
};

World& TheWorld();

// Counts one call of operation, notes it in the trace with its arguments,
// and returns the fault planned for it, if any. operation must be one of
// kFaultOperations.
std::optional<Fault> TakeFault(std::string_view operation, const std::string& arguments = {});

// Runs one call of operation under the fault planned for it: a failure
// status fails the call before its work (after onFailure, which may leave
// what the failing call leaves), a success status replaces the success of
// the work.
template <typename Work, typename OnFailure>
HRESULT UnderFault(std::string_view operation, const std::string& arguments, Work&& work, OnFailure&& onFailure) {
  const std::optional<Fault> fault = TakeFault(operation, arguments);
  if (fault && FAILED(fault->status)) {
    onFailure(*fault);
    return fault->status;
  }
  const HRESULT status = work();
  return fault && SUCCEEDED(status) ? fault->status : status;
}

template <typename Work>
HRESULT UnderFault(std::string_view operation, const std::string& arguments, Work&& work) {
  return UnderFault(operation, arguments, std::forward<Work>(work), [](const Fault&) {});
}

template <typename Work>
HRESULT UnderFault(std::string_view operation, Work&& work) {
  return UnderFault(operation, {}, std::forward<Work>(work));
}

// Argument texts for the trace.
std::string Describe(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string NameOf(const IID* iid);
std::string Quoted(const WCHAR* text);
std::string TagList(const SPropTagArray* tags);

// Makes the calling thread's error object describe a planned fault: one
// with the fault's source and description, or none when it names neither.
void SetFaultErrorInfo(const Fault& fault);

// Where the dialogs read their answers: standard input unless a test
// chose another stream.
FILE* DialogInput();

}  // namespace emulation
