// Test stand-in for the programs the launcher starts. Appends its command
// line and current directory to "probe-record.txt" beside itself, then exits.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char modulePath[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string record(modulePath, length);
  record.erase(record.find_last_of("\\/") + 1);
  record += "probe-record.txt";

  char currentDirectory[MAX_PATH];
  const DWORD directoryLength =
      ::GetCurrentDirectoryA(MAX_PATH, currentDirectory);
  if (directoryLength == 0 || directoryLength >= MAX_PATH) return 1;

  std::FILE* file = std::fopen(record.c_str(), "ab");
  if (!file) return 1;
  std::fprintf(file, "%s\n%s\n", ::GetCommandLineA(), currentDirectory);
  return std::fclose(file) == 0 ? 0 : 1;
}
