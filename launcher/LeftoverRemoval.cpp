#include "launcher/LeftoverRemoval.h"

#include <string>

#include "common/LocalFileSystem.h"

namespace QARN {
namespace Launcher {

void RemoveLeftoverMigrator(PauseFunction pause) {
  // Resolved against the current directory, which is whatever the starter
  // gave the launcher, not the launcher's folder.
  const std::string migrator = kLeftoverMigratorName;
  if (!Common::LocalFileSystem::FileExists(migrator)) return;
  for (int attempt = 0; attempt < kMaxRemovalAttempts; ++attempt) {
    if (Common::LocalFileSystem::DeleteFileA(migrator) >= 0) return;
    pause(kRemovalPauseMs);
  }
}

}  // namespace Launcher
}  // namespace QARN
