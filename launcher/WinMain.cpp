// Entry of ZiBLauncher.exe, a GUI-subsystem program that opens no window.
#include <windows.h>

#include "launcher/Launcher.h"

namespace {

#ifdef QARN_TEST_REMOVAL_PAUSE_MS
// A test-only build of the launcher: end-to-end tests of a migrator that
// stays locked would otherwise wait ten times five seconds.
void PauseBetweenRemovalAttempts(unsigned long /*milliseconds*/) {
  ::Sleep(QARN_TEST_REMOVAL_PAUSE_MS);
}
#else
void PauseBetweenRemovalAttempts(unsigned long milliseconds) {
  ::Sleep(static_cast<DWORD>(milliseconds));
}
#endif

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previousInstance*/,
                   LPSTR /*commandLine*/, int /*showCommand*/) {
  return QARN::Launcher::RunLauncher(&PauseBetweenRemovalAttempts);
}
