// Entry of ZiBLauncher.exe, a GUI-subsystem program that opens no window.
#include <windows.h>

#include <exception>

#include "launcher/Launcher.h"
#include "log/Log.h"

namespace {

constexpr const char kContext[] = "QARN::Launcher::WinMain";

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previousInstance*/, LPSTR /*commandLine*/, int /*showCommand*/) {
  using QARN::Log::ERROR;
  using QARN::Log::LogPrintf;
  // Nothing may end the launcher abnormally: whatever escapes is logged, and
  // the exit code is 0 as on every other path.
  try {
    return QARN::Launcher::RunLauncher();
  } catch (const std::exception& failure) {
    LogPrintf(ERROR, kContext, "Stopped by an unexpected failure: %s", failure.what());
  } catch (...) {
    LogPrintf(ERROR, kContext, "Stopped by an unexpected failure.");
  }
  return 0;
}
