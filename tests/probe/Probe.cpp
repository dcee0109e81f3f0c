// Stands in for the programs the launcher starts: writes its command line,
// its current directory (both UTF-8) and how many processes share its
// console (1: a console of its own) to "probe-record.txt" beside itself. The
// record appears whole, by a rename, so a reader never sees half of it.
#include <windows.h>

#include <filesystem>
#include <fstream>

int main() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path folder = std::filesystem::path(self).parent_path();
  DWORD sharing[8];
  std::ofstream(folder / L"probe-record.tmp")
      << std::filesystem::path(::GetCommandLineW()).u8string() << '\n'
      << std::filesystem::current_path().u8string() << '\n'
      << ::GetConsoleProcessList(sharing, 8) << '\n';
  std::filesystem::rename(folder / L"probe-record.tmp", folder / L"probe-record.txt");
}
