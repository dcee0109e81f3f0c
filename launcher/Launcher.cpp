#include "launcher/Launcher.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "common/PlatformHooks.h"
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

// The longest module path the launcher takes, and the sizes of the fixed
// buffers handed to the platform, terminator included.
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

// The longest path the platform gives a module: fetched whole, a path too long
// for the launcher can still be quoted in its refusal.
constexpr DWORD kLongestModulePath = 32768;

// The ANSI code page's own spelling of `wide` into `narrow`; false, with
// `narrow` untouched, when a character has none: a best-fit look-alike ("P"
// for a fullwidth "P") or a default character would name another folder, or none.
bool SpellExactly(std::wstring_view wide, std::string* narrow) {
  // A UTF-8 code page spells everything but a lone surrogate and allows no
  // default-character report. Four bytes a character hold any folder the
  // launcher handles; a longer text fails to convert, which refuses it too.
  const UINT codePage = ::GetACP();
  const bool utf8 = codePage == CP_UTF8;
  char spelt[4 * kModulePathSize];
  BOOL usedDefault = FALSE;
  const int size =
      ::WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), spelt, sizeof spelt, nullptr, utf8 ? nullptr : &usedDefault);
  if (size <= 0 || usedDefault) return false;
  narrow->assign(spelt, static_cast<std::size_t>(size));
  return true;
}

// `path` for a log line: each character the ANSI code page cannot spell as
// itself becomes '?', so the line never names a look-alike folder.
std::string QuoteInAnsi(std::wstring_view path) {
  std::string quoted, character;
  std::size_t length = 1;
  for (std::size_t at = 0; at < path.size(); at += length) {
    length = IS_SURROGATE_PAIR(path[at], at + 1 < path.size() ? path[at + 1] : L'\0') ? 2 : 1;
    quoted += SpellExactly(path.substr(at, length), &character) ? character : "?";
  }
  return quoted;
}

// What the player reads when the launcher cannot name its own folder: the
// cause, and what to do about it.
constexpr char kPathUnreadableBox[] =
    "Failed to launch: the launcher's own path could not be read. Start the game again.";
constexpr char kPathTooLongBox[] =
    "Failed to launch: the path of the game's folder is too long. Move the game to a folder with a shorter path.";
// Any folder on the path may hold the character, so moving the game beside
// where it is does not help: the example is a path every code page spells.
constexpr char kFolderUnspellableBox[] =
    "Failed to launch: the game's path holds characters that this system's language settings cannot use. Move the "
    "game to a folder whose path has none of them, such as C:\\Games.";

// The launcher's folder as the ANSI calls must be given it: the wide module
// path cut after its last separator (in UTF-16 no character hides a '\\'
// byte, as double-byte ones do in code pages 932, 936 and 950), spelt exactly
// in the ANSI code page. The file name is not looked at. Null when found;
// otherwise, logged, the failure box's text: the platform cannot give the
// path, it is longer than the launcher handles, or the folder has no exact
// spelling. Nothing may be started from a folder it cannot name.
const char* FindLauncherFolder(std::string* folder) {
  std::wstring path(kLongestModulePath, L'\0');
  const DWORD length = Common::PlatformHooks::getModuleFileNameW(nullptr, &path[0], kLongestModulePath);
  if (length == 0 || length >= kLongestModulePath) {
    Log::LogPrintf(Log::ERROR, kContext, "Cannot get the launcher's own path (error %lu).",
                   static_cast<unsigned long>(::GetLastError()));
    return kPathUnreadableBox;
  }
  path.resize(length);
  if (length >= kModulePathSize) {
    Log::LogPrintf(Log::ERROR, kContext, "The launcher's own path \"%s\" is too long: %lu characters, %lu at most.",
                   QuoteInAnsi(path).c_str(), static_cast<unsigned long>(length),
                   static_cast<unsigned long>(kModulePathSize - 1));
    return kPathTooLongBox;
  }
  if (!SpellExactly(LauncherFolder(path), folder)) {
    Log::LogPrintf(Log::ERROR, kContext, "The launcher's folder in \"%s\" cannot be spelt in the ANSI code page.",
                   QuoteInAnsi(path).c_str());
    return kFolderUnspellableBox;
  }
  return nullptr;
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
  std::string launcherFolder;
  if (const char* refusal = FindLauncherFolder(&launcherFolder)) {
    ShowFailure(refusal);
    return 0;
  }
  const std::string programW6432Dir = ReadCurrentVersionValue("ProgramW6432Dir");
  const std::string programFilesDir = ReadCurrentVersionValue("ProgramFilesDir");
  const LaunchPlan plan = PlanLaunch(launcherFolder, programW6432Dir, programFilesDir);
  if (!Start(plan)) ShowFailure(plan.failureMessage);
  // The kernel may have failed to start, but a leftover migrator is removed
  // all the same, once the user has dismissed the failure.
  if (plan.startsUserKernel) RemoveLeftoverMigrator();
  return 0;
}

}  // namespace Launcher
}  // namespace QARN
