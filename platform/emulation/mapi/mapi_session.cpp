// MAPI start and end of the emulated platform: loading the organisation,
// the profile dialog and the logon.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/emulation/control.h"
#include "platform/emulation/mapi/dialogs.h"
#include "platform/emulation/mapi/mapi_objects.h"
#include "platform/emulation/runtime/ledger.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/sdk.h"

namespace emulation {

namespace {

constexpr const char* kOrganisationVariable = "CALDROSE_ORGANISATION";

std::string overrideText;
std::string overrideName;

struct Source {
  std::string name;
  std::string text;
  std::string identity;  // the file's (OrganisationFile::identity); empty for a text of no file
};

// The organisation to serve: a test's text, the file the environment
// names, or the built-in sample. Throws OrganisationError when a file
// cannot be read, is a directory or is empty.
Source ReadSource() {
  if (!overrideText.empty()) return {overrideName, overrideText, {}};
  const char* path = getenv(kOrganisationVariable);
  if (path == nullptr || *path == '\0') return {"built-in sample organisation", kSampleOrganisation, {}};
  const OrganisationFile file(path);
  return {file.name(), std::string(file.text()), file.identity()};
}

void ReportLedgerAtExit() {
  const auto live = Ledger::Instance().Live();
  if (live.empty()) return;
  fprintf(stderr, "emulated platform: ledger: %zu item(s) still held at exit:\n", live.size());
  for (const std::string& line : live) fprintf(stderr, "  %s\n", line.c_str());
}

}  // namespace

void UseOrganisationText(std::string text, std::string sourceName) {
  overrideText = std::move(text);
  overrideName = std::move(sourceName);
}

}  // namespace emulation

using emulation::TheWorld;

HRESULT MAPIInitialize(LPVOID lpMapiInit) {
  static const bool reportRegistered = std::atexit(emulation::ReportLedgerAtExit) == 0;
  (void)reportRegistered;
  emulation::World& world = TheWorld();
  if (world.initializeCount == 0) {
    // A broken organisation is a broken platform installation.
    try {
      const emulation::Source source = emulation::ReadSource();
      try {
        world.organisation = std::make_shared<const emulation::Organisation>(emulation::ParseOrganisation(source.text));
        if (!source.identity.empty())
          world.webServicesIndex =
              emulation::SharedWebServicesIndex(emulation::BuildWebServicesIndex(source.text, source.identity));
      } catch (const emulation::OrganisationError& error) {
        throw emulation::OrganisationError(source.name + ": " + error.what());
      }
    } catch (const emulation::OrganisationError& error) {
      fprintf(stderr, "emulated platform: %s\n", error.what());
      return MAPI_E_CORRUPT_DATA;
    }
  }
  // The organisation plans the faults, so its own start can fail only now.
  const auto* init = static_cast<const MAPIINIT_0*>(lpMapiInit);
  const std::string arguments =
      init == nullptr ? "null" : emulation::Describe("version %u, flags 0x%X", init->ulVersion, init->ulFlags);
  const HRESULT status = emulation::UnderFault("MAPIInitialize", arguments, [] { return S_OK; });
  if (FAILED(status)) {
    if (world.initializeCount == 0) {
      world.organisation.reset();
      world.webServicesIndex = {};
    }
    return status;
  }
#ifdef _WIN32
  // COM itself is the system's there: MAPI sets it up for the thread.
  if (world.initializeCount == 0) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
  world.comInitialized = true;
  ++world.initializeCount;
  return status;
}

void MAPIUninitialize() {
  emulation::World& world = TheWorld();
  emulation::Ledger::Instance().RecordCall("MAPIUninitialize", "");
  if (world.initializeCount == 0) return;
  if (--world.initializeCount > 0) return;
  // COM goes down with MAPI, and with it the thread's error object.
  SetErrorInfo(0, nullptr);
  world.comInitialized = false;
#ifdef _WIN32
  CoUninitialize();
#endif
}

HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, ULONG ulFlags,
                    LPMAPISESSION* lppSession) {
  *lppSession = nullptr;
  const std::string arguments =
      emulation::Describe("0x%lX, %s, %s, 0x%X", static_cast<unsigned long>(ulUIParam),
                          lpszProfileName ? "profile" : "null", lpszPassword ? "password" : "null", ulFlags);
  return emulation::UnderFault("MAPILogonEx", arguments, [&]() -> HRESULT {
    const emulation::World& world = TheWorld();
    const std::shared_ptr<const emulation::Organisation> organisation = world.organisation;
    if (world.initializeCount == 0 || !organisation) return MAPI_E_NOT_INITIALIZED;
    if (organisation->profiles.empty()) return MAPI_E_LOGON_FAILED;

    std::optional<size_t> profile;
    if (lpszProfileName != nullptr && *lpszProfileName != '\0') {
      for (size_t i = 0; i < organisation->profiles.size(); ++i)
        if (organisation->profiles[i].name == lpszProfileName) profile = i;
      if (!profile) return MAPI_E_LOGON_FAILED;
    } else if ((ulFlags & MAPI_LOGON_UI) != 0) {
      profile = emulation::ChooseProfile(*organisation);
      if (!profile) return MAPI_E_USER_CANCEL;
    } else {
      profile = emulation::DefaultProfile(*organisation);
    }
    const HRESULT hr = emulation::CreateSession(organisation, *profile, lppSession);
    if (SUCCEEDED(hr)) TheWorld().operatorKey = organisation->profiles[*profile].identity;
    return hr;
  });
}
