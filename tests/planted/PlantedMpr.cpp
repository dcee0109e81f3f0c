// An "mpr.dll" planted beside a program, where the system's WinINet, which imports it, must never find it: it refuses
// to load, and so fails the load of whatever brings it in.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) { return reason != DLL_PROCESS_ATTACH; }
