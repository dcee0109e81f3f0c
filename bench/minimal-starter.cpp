// What the launcher is timed against: reads its own path and starts the user
// kernel below it as the launcher does, and nothing more (kernel32 only).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char folder[MAX_PATH];
  DWORD length = ::GetModuleFileNameA(nullptr, folder, MAX_PATH);
  while (length > 0 && folder[length - 1] != '\\') --length;
  folder[length] = '\0';
  char commandLine[520] = "\"";
  char workingFolder[MAX_PATH];
  ::lstrcatA(::lstrcatA(commandLine, folder),
             "QARN\\system\\qarn_user_kernel.exe\" updateandrun zib_launcher ZiBLauncher.exe");
  ::lstrcatA(::lstrcpyA(workingFolder, folder), "QARN");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, workingFolder,
                        &startup, &process)) {
    return 1;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return 0;
}
