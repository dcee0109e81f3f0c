// Stands in for the user kernel in the launch benchmark. Reads the
// performance counter first thing, writes the reading, its command line and
// its current directory to "kernel-stamp.txt" beside itself, then signals the
// benchmark's event.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/KernelStamp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LARGE_INTEGER started;
  ::QueryPerformanceCounter(&started);

  char modulePath[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string stampPath(modulePath, length);
  stampPath.erase(stampPath.find_last_of('\\') + 1);
  stampPath += QARN::Bench::kKernelStampName;

  char currentDirectory[MAX_PATH];
  const DWORD directoryLength =
      ::GetCurrentDirectoryA(MAX_PATH, currentDirectory);
  if (directoryLength == 0 || directoryLength >= MAX_PATH) return 1;

  std::FILE* file = std::fopen(stampPath.c_str(), "wb");
  if (!file) return 1;
  std::fprintf(file, "%lld\n%s\n%s\n", started.QuadPart, ::GetCommandLineA(),
               currentDirectory);
  if (std::fclose(file) != 0) return 1;

  const HANDLE event = ::OpenEventA(EVENT_MODIFY_STATE, FALSE,
                                    QARN::Bench::kKernelStartedEvent);
  if (!event) return 1;
  ::SetEvent(event);
  ::CloseHandle(event);
  return 0;
}
