#include "launcher/LaunchPlan.h"

#include <cstring>

namespace QARN {
namespace Launcher {

std::wstring_view LauncherFolder(std::wstring_view modulePath) {
  const std::size_t lastSeparator = modulePath.find_last_of(L"\\/");
  if (lastSeparator == std::wstring_view::npos) return modulePath;
  return modulePath.substr(0, lastSeparator + 1);
}

bool IsUnderProgramFiles(const std::string& launcherFolder, const std::string& programFilesFolder) {
  // A comparison over zero bytes would report equality.
  if (programFilesFolder.empty()) return false;
  return std::strncmp(launcherFolder.c_str(), programFilesFolder.c_str(), programFilesFolder.size()) == 0;
}

LaunchPlan PlanLaunch(const std::string& launcherFolder, const std::string& programW6432Dir,
                      const std::string& programFilesDir) {
  if (IsUnderProgramFiles(launcherFolder, programW6432Dir) || IsUnderProgramFiles(launcherFolder, programFilesDir)) {
    return LaunchPlan{false, "\"" + launcherFolder + kAdminLauncherName + "\"", launcherFolder,
                      "Failed to launch zib.launcher.admin.exe"};
  }
  return LaunchPlan{true, "\"" + launcherFolder + kUserKernelName + "\" updateandrun zib_launcher ZiBLauncher.exe",
                    launcherFolder + "QARN", "Failed to launch QARN\\system\\qarn_user_kernel.exe"};
}

}  // namespace Launcher
}  // namespace QARN
