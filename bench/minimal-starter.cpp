// The least a starter can do: start the user kernel below its own folder with
// the launcher's command line, working folder and creation flags, and exit.
// No registry, no log, no leftover removal, no message box; kernel32 only.
// The launch benchmark sets the launcher's start-up time against this one's.
//
// Built a second time with QARN_BENCH_LAUNCHER_DLLS, it also imports the
// user32 and advapi32 functions the launcher calls, without calling them: the
// platform then loads and initialises the same DLLs as for the launcher, and
// the launch benchmark can tell the cost of loading them from the cost of the
// launcher's own work.
#include <windows.h>

#include <string>

#ifdef QARN_BENCH_LAUNCHER_DLLS
namespace {
// Referenced, so linked and imported; never called.
const void* volatile kLauncherImports[] = {
    reinterpret_cast<const void*>(&::MessageBoxA),
    reinterpret_cast<const void*>(&::RegOpenKeyExA),
    reinterpret_cast<const void*>(&::RegQueryValueExA),
    reinterpret_cast<const void*>(&::RegCloseKey),
};
}  // namespace
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char modulePath[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string folder(modulePath, length);
  folder.erase(folder.find_last_of('\\') + 1);
  std::string commandLine = "\"" + folder +
                            "QARN\\system\\qarn_user_kernel.exe\" "
                            "updateandrun zib_launcher ZiBLauncher.exe";
  const std::string workingFolder = folder + "QARN";

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, workingFolder.c_str(),
                        &startup, &process)) {
    return 1;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return 0;
}
