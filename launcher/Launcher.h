// One run of the launcher: decide, start, report, clean up.
#pragma once

namespace QARN {
namespace Launcher {

// Finds the launcher's folder, reads the Program Files locations, starts the
// administrator launcher or the user kernel and shows a message box when the
// start fails. After the user kernel's start (or failed start) it removes a
// leftover migrator. Never waits for the started program. Returns the process
// exit code, always 0.
int RunLauncher();

}  // namespace Launcher
}  // namespace QARN
