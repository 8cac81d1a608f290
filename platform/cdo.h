// CDO 1.21's automation objects as the tool reaches them: the ProgID, the
// dispinterfaces' IIDs and the DISPIDs of the members it calls. The
// library's type library defines them; neither mingw-w64 nor the
// emulation's headers carry them, so they are declared here for both.
#pragma once

extern "C" const IID IID_CdoSession;  // {3FA7DEA8-6438-101B-ACC1-00AA00423326}
extern "C" const IID IID_CdoFolder;   // {3FA7DEA9-6438-101B-ACC1-00AA00423326}

constexpr DISPID kDispidSessionLogon = 0x77;
constexpr DISPID kDispidSessionLogoff = 0x76;
constexpr DISPID kDispidSessionGetDefaultFolder = 0x99;
constexpr DISPID kDispidFolderName = 0x17;

// CdoDefaultFolderCalendar, GetDefaultFolder's Type.
constexpr LONG kCdoDefaultFolderCalendar = 0;
