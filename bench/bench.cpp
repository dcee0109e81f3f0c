// The figures of scripts/bench measured under Wine, one mode each (launch
// [ROUNDS], settings, log, catalogue, memory; see docs/performance.md). Each
// prints "figure<TAB>value" lines and judges nothing. Its helpers are its own,
// not the tests', so that a change to the test harness cannot break it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ErrorMessageMap.h"
#include "common/SettingsFile.h"
#include "common/UniqueAny.h"
#include "log/Log.h"

#include <psapi.h>

namespace QARN::Bench {
namespace fs = std::filesystem;

constexpr char kQarnKey[] = "Software\\Ombrel Studio\\QARN";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  std::exit(1);
}

// The build puts the programs measured beside this one.
fs::path ProgramFolder() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path();
}

void CopyProgram(const char* name, const fs::path& to) {
  fs::copy_file(ProgramFolder() / name, to, fs::copy_options::overwrite_existing);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A new, empty temporary folder, removed with all it holds.
struct TempDir {
  TempDir() {
    static int count = 0;
    do {  // a new one: Wine reuses process ids
      path = fs::temp_directory_path() /
             ("qarn-bench-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count));
    } while (!fs::create_directories(path));
  }
  ~TempDir() {
    std::error_code error;
    fs::remove_all(path, error);
  }
  fs::path path;
};

// Sets an HKLM text value while it lives; then restores the old one, or
// removes it if there was none.
class RegistryValue {
 public:
  RegistryValue(const char* key, const char* name, const std::string& text) : key_(key), name_(name) {
    had_ = !::RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, old_, &size_);
    Set(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  ~RegistryValue() { had_ ? Set(type_, old_, size_) : void(::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key_, name_)); }

 private:
  void Set(DWORD type, const char* data, DWORD size) {
    if (::RegSetKeyValueA(HKEY_LOCAL_MACHINE, key_, name_, type, data, size)) Fail(std::string("cannot set ") + name_);
  }

  const char *key_, *name_;
  bool had_;
  char old_[4096];
  DWORD type_ = REG_NONE, size_ = sizeof old_;
};

// Starts `program` in `folder` (this one's if empty); returns its process.
Common::UniqueHandle Start(const fs::path& program, const fs::path& folder = {}) {
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    Fail("cannot start " + program.string());
  }
  ::CloseHandle(process.hThread);
  return Common::UniqueHandle(process.hProcess);
}

double Seconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Print(const std::string& figure, double value) { std::printf("%s\t%.3g\n", figure.c_str(), value); }

// Starts `program` and returns the time until the kernel stamped its start.
double TimeStart(const fs::path& program, const fs::path& stamp) {
  const double start = Seconds();
  const Common::UniqueHandle started = Start(program);
  double stamped = 0;
  for (int wait = 0; wait < 10000 && !(std::ifstream(stamp) >> stamped); ++wait) ::Sleep(1);
  if (stamped == 0) Fail("no start of the kernel from " + program.string());
  fs::remove(stamp);
  return stamped - start;
}

void Launch(int rounds) {
  const TempDir root;  // outside both Program Files folders: the user kernel path
  const fs::path folder = root.path / "Play";
  fs::create_directories(folder / "QARN\\system");
  for (const char* program : {"ZiBLauncher.exe", "minimal-starter.exe"}) CopyProgram(program, folder / program);
  CopyProgram("bench.exe", folder / "QARN\\system\\qarn_user_kernel.exe");
  std::vector<double> launcher, minimal;
  for (int round = -2; round < rounds; ++round) {  // two rounds to warm up
    const bool launcherFirst = round % 2 == 0;
    for (int turn = 0; turn < 2; ++turn) {
      const bool isLauncher = (turn == 0) == launcherFirst;
      const double time =
          TimeStart(folder / (isLauncher ? "ZiBLauncher.exe" : "minimal-starter.exe"), folder / "QARN\\system\\stamp");
      if (round >= 0) (isLauncher ? launcher : minimal).push_back(time);
    }
  }
  Print("launch: ZiBLauncher.exe, median (ms)", Median(launcher) * 1000);
  Print("launch: minimal-starter.exe, median (ms)", Median(minimal) * 1000);
  Print("launch: launcher / minimal", Median(launcher) / Median(minimal));
}

void Settings() {
  const TempDir root;
  const RegistryValue installation(kQarnKey, "LocalRootFolder", root.path.string());
  WriteFile(root.path / "system\\locale.cfg", "");
  double perLine[3];
  for (int power = 4; power <= 6; ++power) {
    std::string bytes;
    const int lines = power == 4 ? 10000 : power == 5 ? 100000 : 1000000;
    // Short lines, so that 10^6 of them stay within the reader's 16 MiB.
    for (int i = 0; i < lines; ++i) bytes += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    const std::string name = "s" + std::to_string(power) + ".cfg";
    WriteFile(root.path / "system" / name, bytes);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
      const double start = Seconds();
      const Common::SettingsFile::SettingsFile file(name);
      times.push_back(Seconds() - start);
    }
    perLine[power - 4] = Median(times) / lines;
    Print("settings: 10^" + std::to_string(power) + " lines (MB/s)", bytes.size() / Median(times) / 1e6);
  }
  Print("settings: per-line cost, 10^6 / 10^4 lines", perLine[2] / perLine[0]);
}

__attribute__((noinline)) void EmptyCall(Log::LogLevel, const char*, const char*, ...) { asm(""); }

// The time of one call, over many.
template <typename Call>
double PerCall(int count, Call call) {
  const double start = Seconds();
  for (int i = 0; i < count; ++i) call();
  return (Seconds() - start) / count;
}

void LogCosts() {
  Print("log: empty call (ns)", PerCall(1000000, [] { EmptyCall(Log::DEBUG, "QARN::Bench", "%d", 1); }) * 1e9);
  Print("log: dropped DEBUG LogPrintf (ns)",
        PerCall(1000000, [] { Log::LogPrintf(Log::DEBUG, "QARN::Bench", "%d", 1); }) * 1e9);
  const TempDir dir;
  const auto errorLine = [] { Log::LogPrintf(Log::ERROR, "QARN::Bench::Log", "%s", "a line of about 100 bytes"); };
  // Standard error unbuffered, as every program starts with it.
  const auto errorLinesTo = [&](const std::string& file) {
    std::setvbuf(std::freopen(file.c_str(), "w", stderr), nullptr, _IONBF, 0);
    return PerCall(20000, errorLine);
  };
  const double toFile = errorLinesTo((dir.path / "err").string()), toNul = errorLinesTo("NUL");
  Print("log: ERROR line, standard error to a file (us)", toFile * 1e6);
  Print("log: ERROR line, standard error to NUL (us)", toNul * 1e6);
  Print("log: NUL / file", toNul / toFile);
}

void Catalogue() {
  const TempDir root;
  const RegistryValue installation(kQarnKey, "LocalRootFolder", root.path.string());
  WriteFile(root.path / "system\\locale.cfg", "locale=fr_fr\n");
  const double start = Seconds();
  Common::ErrorMessageMap::Instance();
  Print("catalogue: first Instance(), fr_fr (us)", (Seconds() - start) * 1e6);
}

// `locale=fr_fr`, then lines `k000000000=` and so on, and blank lines up to
// `size` bytes.
std::string LocaleFile(std::size_t size) {
  std::string bytes = "locale=fr_fr\n";
  char line[16];
  for (int i = 0; bytes.size() + 12 <= size; ++i) bytes.append(line, std::snprintf(line, sizeof line, "k%09d=\n", i));
  return bytes.append(size - bytes.size(), '\n');
}

// The largest memory counters of `process` until it ends, in MiB. Wine reads
// them from the running process only (and gives its current private memory
// as the peak), so they are sampled each millisecond while it runs; on
// Windows the last reading, after the end, holds the peaks themselves.
std::pair<double, double> PeakMemory(HANDLE process) {
  SIZE_T workingSet = 0, privateBytes = 0;
  for (bool ended = false; !ended;) {
    ended = ::WaitForSingleObject(process, 1) == WAIT_OBJECT_0;
    PROCESS_MEMORY_COUNTERS counters = {};
    if (!::K32GetProcessMemoryInfo(process, &counters, sizeof counters)) continue;
    workingSet = std::max(workingSet, counters.PeakWorkingSetSize);
    privateBytes = std::max(privateBytes, counters.PeakPagefileUsage);
  }
  return {workingSet / 1048576.0, privateBytes / 1048576.0};
}

// The launcher run from its folder, which holds a read-only leftover
// migrator: the first deletion fails, which builds the catalogue (it reads
// locale.cfg for the error text); the second, without the attribute, removes it.
void Memory() {
  const TempDir root;
  const RegistryValue installation(kQarnKey, "LocalRootFolder", root.path.string());
  const fs::path folder = root.path / "Play", migrator = folder / "qarn_migrator.exe";
  fs::create_directories(folder / "QARN\\system");
  CopyProgram("ZiBLauncher.exe", folder / "ZiBLauncher.exe");
  CopyProgram("bench.exe", folder / "QARN\\system\\qarn_user_kernel.exe");
  for (const auto& [file, size] : {std::pair<std::string, std::size_t>{"one-line", 13}, {"16 MiB", 16 << 20}}) {
    WriteFile(root.path / "system\\locale.cfg", LocaleFile(size));
    WriteFile(migrator, "leftover");
    ::SetFileAttributesW(migrator.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto [workingSet, privateBytes] = PeakMemory(Start(folder / "ZiBLauncher.exe", folder).Get());
    if (fs::exists(migrator)) Fail("the launcher kept the migrator");
    Print("memory: launcher, " + file + " locale.cfg, peak working set (MiB)", workingSet);
    Print("memory: launcher, " + file + " locale.cfg, peak private (MiB)", privateBytes);
  }
}

}  // namespace QARN::Bench

int main(int argc, char** argv) {
  using namespace QARN::Bench;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "updateandrun") {  // started as the user kernel: stamps the time beside itself
    const double now = Seconds();
    std::ofstream(ProgramFolder() / "stamp.tmp") << std::to_string(now);
    fs::rename(ProgramFolder() / "stamp.tmp", ProgramFolder() / "stamp");
  } else if (mode == "launch") {
    Launch(argc > 2 ? std::atoi(argv[2]) : 20);
  } else if (mode == "settings") {
    Settings();
  } else if (mode == "log") {
    LogCosts();
  } else if (mode == "catalogue") {
    Catalogue();
  } else if (mode == "memory") {
    Memory();
  } else {
    std::fprintf(stderr, "usage: bench launch [ROUNDS] | settings | log | catalogue | memory\n");
    return 2;
  }
  return 0;
}
