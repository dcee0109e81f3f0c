#include "launcher/Launcher.h"

#include <windows.h>

#include <string>

#include "common/RegKeyValueString.h"
#include "launcher/LaunchPlan.h"
#include "launcher/LeftoverRemoval.h"
#include "log/Log.h"

namespace QARN {
namespace Launcher {
namespace {

constexpr const char kContext[] = "QARN::Launcher::RunLauncher";
constexpr const char kCurrentVersionKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion";

// The full path of the running program. False when the platform cannot give
// it or it does not fit the buffer (the platform would hand back a truncated
// path, and a folder cut from that is no sound place to start anything).
bool FetchModulePath(std::string* modulePath) {
  char buffer[kModulePathSize];
  const DWORD length = ::GetModuleFileNameA(nullptr, buffer, kModulePathSize);
  if (length == 0 || length >= kModulePathSize) {
    const DWORD error = ::GetLastError();
    Log::LogPrintf(Log::ERROR, kContext,
                   "Cannot get the launcher's own path (length %lu, error %lu).",
                   static_cast<unsigned long>(length),
                   static_cast<unsigned long>(error));
    return false;
  }
  modulePath->assign(buffer, length);
  return true;
}

std::string ReadCurrentVersionValue(const char* valueName) {
  return Common::RegistryHelp::RegKeyValueString(kCurrentVersionKey, valueName,
                                                 "")
      .Value();
}

// Starts the planned program in a new console and lets it run on its own.
bool Start(const LaunchPlan& plan) {
  char commandLine[kCommandLineSize];
  char workingFolder[kWorkingFolderSize];
  if (!CopyWhole(plan.commandLine, commandLine) ||
      !CopyWhole(plan.workingFolder, workingFolder)) {
    Log::LogPrintf(Log::ERROR, kContext,
                   "Path too long to start %s in \"%s\".",
                   plan.commandLine.c_str(), plan.workingFolder.c_str());
    return false;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, workingFolder, &startup,
                        &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text,
                                       LPCSTR caption, UINT type);

// user32 is loaded only when a failure has to be shown: a run that starts
// its program needs nothing of it, and loading it takes longer than all the
// rest of such a run (several milliseconds under Wine). It is one of the
// system's known DLLs, so it comes from the system folder whatever lies
// beside the launcher.
void ShowFailure(const char* message) {
  const HMODULE user32 = ::LoadLibraryA("user32.dll");
  const auto messageBox =
      user32 == nullptr
          ? nullptr
          : reinterpret_cast<MessageBoxFunction>(
                ::GetProcAddress(user32, "MessageBoxA"));
  if (messageBox == nullptr) {
    Log::LogPrintf(Log::ERROR, kContext, "Cannot show \"%s\" (error %lu).",
                   message, static_cast<unsigned long>(::GetLastError()));
    return;
  }
  messageBox(nullptr, message, nullptr, MB_OK);
}

}  // namespace

int RunLauncher(PauseFunction pause) {
  std::string modulePath;
  if (!FetchModulePath(&modulePath)) {
    ShowFailure("Failed to launch: the launcher's own path could not be read.");
    return 0;
  }
  const std::string programW6432Dir = ReadCurrentVersionValue("ProgramW6432Dir");
  const std::string programFilesDir = ReadCurrentVersionValue("ProgramFilesDir");
  const LaunchPlan plan =
      PlanLaunch(LauncherFolder(modulePath), programW6432Dir, programFilesDir);
  if (!Start(plan)) ShowFailure(plan.failureMessage);
  // The kernel may have failed to start, but a leftover migrator is removed
  // all the same, once the user has dismissed the failure.
  if (plan.startsUserKernel) RemoveLeftoverMigrator(pause);
  return 0;
}

}  // namespace Launcher
}  // namespace QARN
