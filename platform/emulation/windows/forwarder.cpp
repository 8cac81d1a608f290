// The whole of a forwarding DLL (mapi32.dll, activeds.dll): its exports
// are forwarded to caldrose_platform.dll by its .def file, so it only needs
// an entry point.
#include <windows.h>

extern "C" BOOL WINAPI ForwarderEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
