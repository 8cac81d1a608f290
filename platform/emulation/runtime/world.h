// The state of the emulated platform during one run: the organisation it
// serves, whether MAPI and with it COM are up, where the dialogs read their
// answers, and the calls counted for planned faults. ResetRun (control.h)
// puts all of it back as a new process has it, together with the state
// that each library registers (RunReset).
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/web_services_index.h"

namespace emulation {

struct World {
  // Set by MAPIInitialize from the organisation file, null before.
  std::shared_ptr<const Organisation> organisation;
  // Where Verrick finds its mailbox in the organisation file, for the
  // processes the tool starts while the organisation is loaded.
  SharedWebServicesIndex webServicesIndex;
  int initializeCount = 0;
  bool comInitialized = false;
  // The address-book key of the account logged on through MAPI: the
  // operator, whose rights every later logon is checked against.
  std::string operatorKey;
  // The thread's last error (GetLastError).
  DWORD lastError = 0;
  // Calls so far per operation, named by the fault point's own text.
  std::unordered_map<std::string_view, unsigned> callCounts;
  // The folders of the mailboxes opened so far, as the run has left them.
  std::map<std::string, std::vector<FolderDefinition>> mailboxFolders;
  // The success status planned for the call in progress, if any.
  const Fault* plannedWarning = nullptr;
};

World& TheWorld();

// Counts one call of operation, journals it with its arguments, and
// returns the fault planned for it, if any. operation must be a fault
// point (fault_points.h): anything else is a fault of the emulation and
// ends the process.
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
  World& world = TheWorld();
  const Fault* outer = world.plannedWarning;
  world.plannedWarning = fault ? &*fault : nullptr;
  const HRESULT status = work();
  world.plannedWarning = outer;
  return fault && SUCCEEDED(status) ? fault->status : status;
}

// The warning planned for the call in progress, so that the call can give
// the outputs that go with it (MAPI_W_ERRORS_RETURNED: error-typed values).
inline const Fault* PlannedWarning() { return TheWorld().plannedWarning; }

template <typename Work>
HRESULT UnderFault(std::string_view operation, const std::string& arguments, Work&& work) {
  return UnderFault(operation, arguments, std::forward<Work>(work), [](const Fault&) {});
}

template <typename Work>
HRESULT UnderFault(std::string_view operation, Work&& work) {
  return UnderFault(operation, {}, std::forward<Work>(work));
}

// Argument texts for the journal.
#ifdef _WIN32
// ULONG and DWORD are unsigned long there, as wide as the unsigned int that
// "%u" and "%X" read; the Linux build checks the formats.
std::string Describe(const char* format, ...);
#else
std::string Describe(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif
std::string Quoted(const WCHAR* text);

// Where the dialogs read their answers: standard input unless a test
// chose another stream (null goes back to it).
FILE* DialogInput();
void SetDialogInput(FILE* input);

// Called with the name of every platform call before it does anything;
// kept across runs. Null stops it.
void SetCallObserver(void (*observer)(std::string_view operation));

// State that a library keeps beyond the world and the ledger, and how to
// forget it at the end of a run. Each library registers its own with a
// RunReset at namespace scope in the file that keeps the state, so that a
// build without that file has nothing to forget.
struct RunReset {
  explicit RunReset(void (*reset)());
};
// Puts the world back as a new process has it and calls every registered
// reset; the ledger is the caller's to reset.
void ResetWorld();

}  // namespace emulation
