// Demo and test helper: holds a file open without delete sharing for a
// while, as a program still running from it would.
// Usage: hold-file.exe PATH MILLISECONDS
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const HANDLE file = ::CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  ::Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  ::CloseHandle(file);
  return 0;
}
