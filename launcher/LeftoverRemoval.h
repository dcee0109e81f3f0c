// Removal of a migrator program that an earlier update left behind.
#pragma once

namespace QARN {
namespace Launcher {

constexpr const char kLeftoverMigratorName[] = "qarn_migrator.exe";
constexpr int kMaxRemovalAttempts = 10;
constexpr unsigned long kRemovalPauseMs = 5000;

// Removes "qarn_migrator.exe" from the current directory if anything of that
// name is there (a folder counts too). The kernel may still hold the file, so
// a failed attempt is followed by a pause of kRemovalPauseMs (the last one
// too) and another attempt, up to kMaxRemovalAttempts in all. Ends as soon as
// the migrator is gone, whoever removed it. Reports nothing to the user; each
// failed attempt is logged.
void RemoveLeftoverMigrator();

}  // namespace Launcher
}  // namespace QARN
