#include "launcher/LeftoverRemoval.h"

#include <string>

#include "common/LocalFileSystem.h"
#include "common/PlatformHooks.h"

namespace QARN {
namespace Launcher {

void RemoveLeftoverMigrator() {
  using Common::LocalFileSystem;
  // Resolved against the current directory, which is whatever the starter
  // gave the launcher, not the launcher's folder.
  const std::string migrator = kLeftoverMigratorName;
  if (!LocalFileSystem::FileExists(migrator)) return;
  for (int attempt = 0; attempt < kMaxRemovalAttempts; ++attempt) {
    if (LocalFileSystem::DeleteFileA(migrator) >= 0) return;
    Common::PlatformHooks::sleep(kRemovalPauseMs);
    // Its owner may have removed it during the pause.
    if (!LocalFileSystem::FileExists(migrator)) return;
  }
}

}  // namespace Launcher
}  // namespace QARN
