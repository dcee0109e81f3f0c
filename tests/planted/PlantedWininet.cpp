// A "wininet.dll" planted beside a program by the tests: it records being
// loaded in "planted-loaded.txt" beside itself and answers with a text of
// its own.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

void RecordLoad(HINSTANCE self) {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::string marker(path, length);
  marker.erase(marker.find_last_of('\\') + 1);
  marker += "planted-loaded.txt";
  const HANDLE file = ::CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) RecordLoad(self);
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI
InternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD length) {
  const char text[] = "planted response";
  *error = 0;
  std::memcpy(buffer, text, sizeof text);
  *length = sizeof text - 1;
  return TRUE;
}
