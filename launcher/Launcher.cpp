#include "launcher/Launcher.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "common/RegKeyValueString.h"
#include "common/UniqueAny.h"
#include "launcher/LaunchPlan.h"
#include "launcher/LeftoverRemoval.h"
#include "log/Log.h"

namespace QARN {
namespace Launcher {
namespace {

constexpr const char kContext[] = "QARN::Launcher::RunLauncher";
constexpr const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// Sizes of the fixed buffers handed to the platform, terminator included.
constexpr DWORD kModulePathSize = 260;
constexpr std::size_t kCommandLineSize = 520;
constexpr std::size_t kWorkingFolderSize = 260;

// Copies `text` with its terminator into `buffer`; false, with the buffer
// untouched, when it does not fit whole: a cut path would start the wrong
// program, or run it in the wrong folder.
template <std::size_t Size>
bool CopyWhole(const std::string& text, char (&buffer)[Size]) {
  if (text.size() >= Size) return false;
  text.copy(buffer, text.size());
  buffer[text.size()] = '\0';
  return true;
}

void LogUnreadablePath(DWORD length, DWORD error) {
  Log::LogPrintf(Log::ERROR, kContext, "Cannot get the launcher's own path (length %lu, error %lu).",
                 static_cast<unsigned long>(length), static_cast<unsigned long>(error));
}

// True when the ANSI code page spells every character of `wide` as itself
// and the result is `narrow`: no best-fit look-alike, no default character.
bool SpellsExactly(std::wstring_view wide, std::string_view narrow) {
  // A UTF-8 code page spells everything and allows no default-character
  // report; a double-byte one needs up to two bytes a character.
  const bool utf8 = ::GetACP() == CP_UTF8;
  char converted[2 * kModulePathSize];
  BOOL usedDefault = FALSE;
  const int size = ::WideCharToMultiByte(CP_ACP, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide.data(),
                                         static_cast<int>(wide.size()), converted, sizeof converted, nullptr,
                                         utf8 ? nullptr : &usedDefault);
  return size > 0 && !usedDefault && std::string_view(converted, static_cast<std::size_t>(size)) == narrow;
}

// The full path of the running program, as the ANSI calls are given it.
// False, logged, when the platform cannot give it, cuts it at the buffer, or
// cannot spell it in the ANSI code page: the ANSI path then names another
// folder (a look-alike "Play" for "Ｐlay") or none ("????"), and nothing may
// be started from there.
bool FetchModulePath(std::string* modulePath) {
  char narrow[kModulePathSize];
  const DWORD length = ::GetModuleFileNameA(nullptr, narrow, kModulePathSize);
  if (length == 0 || length >= kModulePathSize) {
    LogUnreadablePath(length, ::GetLastError());
    return false;
  }
  wchar_t wide[kModulePathSize];
  const DWORD wideLength = ::GetModuleFileNameW(nullptr, wide, kModulePathSize);
  if (wideLength == 0 || wideLength >= kModulePathSize) {
    LogUnreadablePath(wideLength, ::GetLastError());
    return false;
  }
  if (!SpellsExactly(std::wstring_view(wide, wideLength), std::string_view(narrow, length))) {
    Log::LogPrintf(Log::ERROR, kContext,
                   "The launcher's own path \"%s\" cannot be spelt in the "
                   "ANSI code page.",
                   narrow);
    return false;
  }
  modulePath->assign(narrow, length);
  return true;
}

std::string ReadCurrentVersionValue(const char* valueName) {
  return Common::RegistryHelp::RegKeyValueString(kCurrentVersionKey, valueName, "").Value();
}

// Starts the planned program in a new console and lets it run on its own.
bool Start(const LaunchPlan& plan) {
  char commandLine[kCommandLineSize];
  char workingFolder[kWorkingFolderSize];
  if (!CopyWhole(plan.commandLine, commandLine) || !CopyWhole(plan.workingFolder, workingFolder)) {
    Log::LogPrintf(Log::ERROR, kContext, "Path too long to start %s in \"%s\".", plan.commandLine.c_str(),
                   plan.workingFolder.c_str());
    return false;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, workingFolder,
                        &startup, &process)) {
    return false;
  }
  // Nothing waits for the child, so its handles go at once.
  const Common::UniqueHandle thread(process.hThread);
  const Common::UniqueHandle child(process.hProcess);
  return true;
}

using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// user32 is loaded only when a failure has to be shown: a run that starts
// its program needs nothing of it, and loading it takes longer than all the
// rest of such a run (several milliseconds under Wine). It is one of the
// system's known DLLs, so it comes from the system folder whatever lies
// beside the launcher.
void ShowFailure(const char* message) {
  const HMODULE user32 = ::LoadLibraryA("user32.dll");
  const auto messageBox =
      user32 == nullptr ? nullptr : reinterpret_cast<MessageBoxFunction>(::GetProcAddress(user32, "MessageBoxA"));
  if (messageBox == nullptr) {
    Log::LogPrintf(Log::ERROR, kContext, "Cannot show \"%s\" (error %lu).", message,
                   static_cast<unsigned long>(::GetLastError()));
    return;
  }
  static_cast<void>(messageBox(nullptr, message, nullptr, MB_OK));
}

}  // namespace

int RunLauncher() {
  std::string modulePath;
  if (!FetchModulePath(&modulePath)) {
    ShowFailure("Failed to launch: the launcher's own path could not be read.");
    return 0;
  }
  const std::string programW6432Dir = ReadCurrentVersionValue("ProgramW6432Dir");
  const std::string programFilesDir = ReadCurrentVersionValue("ProgramFilesDir");
  const LaunchPlan plan = PlanLaunch(LauncherFolder(modulePath), programW6432Dir, programFilesDir);
  if (!Start(plan)) ShowFailure(plan.failureMessage);
  // The kernel may have failed to start, but a leftover migrator is removed
  // all the same, once the user has dismissed the failure.
  if (plan.startsUserKernel) RemoveLeftoverMigrator();
  return 0;
}

}  // namespace Launcher
}  // namespace QARN
