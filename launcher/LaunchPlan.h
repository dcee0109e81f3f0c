// The launch decision: which program runs next, with which command line and
// in which working folder. Pure string work, no platform calls.
#pragma once

#include <string>
#include <string_view>

namespace QARN {
namespace Launcher {

constexpr const char kAdminLauncherName[] = "zib.launcher.admin.exe";
constexpr const char kUserKernelName[] = "QARN\\system\\qarn_user_kernel.exe";

// What the launcher starts. `commandLine` quotes the program path, so the
// platform takes the program from its first token.
struct LaunchPlan {
  bool startsUserKernel;
  std::string commandLine;
  std::string workingFolder;
  // Shown to the user when the start fails.
  const char* failureMessage;
};

// The module path cut just after its last '\' or '/', which stays; the whole
// path when it has no separator.
std::wstring_view LauncherFolder(std::wstring_view modulePath);

// True when `programFilesFolder` is not empty and is a byte prefix of
// `launcherFolder`: case-sensitive, '/' and '\' distinct, and no separator
// required after the prefix (so "C:\Program Files" matches
// "C:\Program Files (x86)\Play\").
bool IsUnderProgramFiles(const std::string& launcherFolder, const std::string& programFilesFolder);

// Under either Program Files folder (the 64-bit one is tested first): the
// administrator launcher in the launcher folder. Otherwise the user kernel
// below it, told to update and run the game.
LaunchPlan PlanLaunch(const std::string& launcherFolder, const std::string& programW6432Dir,
                      const std::string& programFilesDir);

}  // namespace Launcher
}  // namespace QARN
