// The tool's imports from the system's own DLLs that the emulated platform
// takes over in the Windows build, when caldrose_platform.dll is loaded
// with the tool: the slots of the tool's import table are pointed here.
//
// - LookupAccountSidW serves the organisation's domain, which the system's
//   own lookup does not know.
// - CLSIDFromProgID answers for the classes the organisation installs.
// - FormatMessageA gives the platform's texts, which Wine words otherwise
//   for some statuses.
// - CoCreateInstance, OleRun and SysAllocString stay the system's, behind
//   the same fault points as on Linux, so that a planned failure of one of
//   them reaches the tool on both builds.
#include <windows.h>

#include <cstring>
#include <type_traits>

#include "platform/emulation/com/classes.h"
#include "platform/emulation/com/guid_names.h"
#include "platform/emulation/runtime/world.h"
#include "platform/emulation/win32/account_lookup.h"
#include "platform/emulation/win32/system_messages.h"

namespace {

decltype(&CoCreateInstance) systemCoCreateInstance = nullptr;
decltype(&OleRun) systemOleRun = nullptr;
decltype(&SysAllocString) systemSysAllocString = nullptr;

BOOL WINAPI EmulatedLookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameLength, LPWSTR domainName,
                                      LPDWORD domainNameLength, PSID_NAME_USE use) {
  return emulation::LookUpAccountSid(systemName, sid, name, nameLength, domainName, domainNameLength, use);
}

HRESULT WINAPI EmulatedCLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
  return emulation::ClassIdFromProgId(progId, clsid);
}

DWORD WINAPI EmulatedFormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPSTR buffer,
                                    DWORD bufferSize, va_list*) {
  return emulation::FormatSystemMessage(flags, messageId, languageId, buffer, bufferSize);
}

HRESULT WINAPI WatchedCoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                       LPVOID* ppv) {
  *ppv = nullptr;
  const std::string arguments = emulation::CreationArguments(rclsid, pUnkOuter, dwClsContext, riid);
  return emulation::UnderFault("CoCreateInstance", arguments,
                               [&] { return systemCoCreateInstance(rclsid, pUnkOuter, dwClsContext, riid, ppv); });
}

HRESULT WINAPI WatchedOleRun(LPUNKNOWN pUnknown) {
  return emulation::UnderFault("OleRun", [&] { return systemOleRun(pUnknown); });
}

BSTR WINAPI WatchedSysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  BSTR text = nullptr;
  emulation::UnderFault("SysAllocString", emulation::Describe("%u characters", static_cast<unsigned>(wcslen(psz))),
                        [&]() -> HRESULT {
                          text = systemSysAllocString(psz);
                          return text != nullptr ? S_OK : E_OUTOFMEMORY;
                        });
  return text;
}

// Points the slot of the executable's import table for dll's function at
// replacement; system, unless null, receives the system's function it held.
template <typename Function>
void TakeOverImport(const char* dll, const char* function, Function replacement,
                    std::type_identity_t<Function>* system) {
  auto* const base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       module->Name != 0; ++module) {
    if (_stricmp(reinterpret_cast<const char*>(base + module->Name), dll) != 0 || module->OriginalFirstThunk == 0)
      continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) return;
      if (system != nullptr) *system = reinterpret_cast<Function>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
    }
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  // The loader has filled the executable's import table by now.
  // Served by the emulation alone: the system's functions are not kept.
  TakeOverImport("advapi32.dll", "LookupAccountSidW", &EmulatedLookupAccountSidW, nullptr);
  TakeOverImport("ole32.dll", "CLSIDFromProgID", &EmulatedCLSIDFromProgID, nullptr);
  TakeOverImport("kernel32.dll", "FormatMessageA", &EmulatedFormatMessageA, nullptr);
  TakeOverImport("ole32.dll", "CoCreateInstance", &WatchedCoCreateInstance, &systemCoCreateInstance);
  TakeOverImport("ole32.dll", "OleRun", &WatchedOleRun, &systemOleRun);
  TakeOverImport("oleaut32.dll", "SysAllocString", &WatchedSysAllocString, &systemSysAllocString);
  return TRUE;
}
