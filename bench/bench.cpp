// The figures of scripts/bench that are timed under Wine; each mode prints
// "figure<TAB>value" lines and judges nothing.
//
//   bench launch [ROUNDS]   from CreateProcess of a starter to the start of the
//                           user kernel it starts (this program, as a stand-in
//                           that stamps the time), ZiBLauncher.exe against
//                           minimal-starter.exe in turn; medians and ratio
//   bench settings          SettingsFile loads of 10^4, 10^5 and 10^6 lines
//   bench log               a dropped DEBUG call against an empty call; an
//                           ERROR line to standard error sent to a file, to NUL
//   bench catalogue         the first ErrorMessageMap::Instance() of a process
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ErrorMessageMap.h"
#include "common/SettingsFile.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {

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

void Print(const char* figure, double value) { std::printf("%s\t%.3g\n", figure, value); }

// Starts `program` and returns the time until the kernel stamped its start.
double TimeStart(const std::string& program, const std::string& stamp) {
  std::wstring commandLine = L"\"" + Native(program).wstring() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Seconds();
  if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    std::exit(1);
  }
  const Common::UniqueHandle thread(process.hThread), child(process.hProcess);
  std::string stamped;
  for (int wait = 0; wait < 10000 && (stamped = ReadFile(stamp)).empty(); ++wait) ::Sleep(1);
  if (stamped.empty()) std::fprintf(stderr, "no start of the kernel from %s\n", program.c_str()), std::exit(1);
  fs::remove(Native(stamp));
  return std::stod(stamped) - start;
}

void Launch(int rounds) {
  const TempDir root;  // outside both Program Files folders: the user kernel path
  const std::string folder = root.Path() + "Play\\";
  fs::create_directories(Native(folder + "QARN\\system"));
  for (const char* program : {"ZiBLauncher.exe", "minimal-starter.exe"}) CopyProgram(program, folder + program);
  CopyProgram("bench.exe", folder + "QARN\\system\\qarn_user_kernel.exe");
  std::vector<double> launcher, minimal;
  for (int round = -2; round < rounds; ++round) {  // two rounds to warm up
    const bool launcherFirst = round % 2 == 0;
    for (int turn = 0; turn < 2; ++turn) {
      const bool isLauncher = (turn == 0) == launcherFirst;
      const double time =
          TimeStart(folder + (isLauncher ? "ZiBLauncher.exe" : "minimal-starter.exe"), folder + "QARN\\system\\stamp");
      if (round >= 0) (isLauncher ? launcher : minimal).push_back(time);
    }
  }
  Print("launch: ZiBLauncher.exe, median (ms)", Median(launcher) * 1000);
  Print("launch: minimal-starter.exe, median (ms)", Median(minimal) * 1000);
  Print("launch: launcher / minimal", Median(launcher) / Median(minimal));
}

void Settings() {
  const TempDir root;
  const RegistryValue installation(kQarnKey, "LocalRootFolder", root.Path());
  WriteFile(root.Path() + "system\\locale.cfg", "");
  double perLine[3];
  for (int power = 4; power <= 6; ++power) {
    std::string bytes;
    const int lines = power == 4 ? 10000 : power == 5 ? 100000 : 1000000;
    for (int i = 0; i < lines; ++i) bytes += "key" + std::to_string(i) + " = value " + std::to_string(i) + "\n";
    const std::string name = "s" + std::to_string(power) + ".cfg";
    WriteFile(root.Path() + "system\\" + name, bytes);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
      const double start = Seconds();
      const Common::SettingsFile::SettingsFile file(name);
      times.push_back(Seconds() - start);
    }
    perLine[power - 4] = Median(times) / lines;
    Print(("settings: 10^" + std::to_string(power) + " lines (MB/s)").c_str(), bytes.size() / Median(times) / 1e6);
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
  std::freopen((dir.Path() + "err").c_str(), "w", stderr);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  const double toFile = PerCall(20000, errorLine);
  std::freopen("NUL", "w", stderr);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  const double toNul = PerCall(20000, errorLine);
  Print("log: ERROR line, standard error to a file (us)", toFile * 1e6);
  Print("log: ERROR line, standard error to NUL (us)", toNul * 1e6);
  Print("log: NUL / file", toNul / toFile);
}

void Catalogue() {
  const TempDir root;
  const RegistryValue installation(kQarnKey, "LocalRootFolder", root.Path());
  WriteFile(root.Path() + "system\\locale.cfg", "locale=fr_fr\n");
  const double start = Seconds();
  Common::ErrorMessageMap::Instance();
  Print("catalogue: first Instance(), fr_fr (us)", (Seconds() - start) * 1e6);
}

}  // namespace QARN::Testing

int main(int argc, char** argv) {
  using namespace QARN::Testing;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "updateandrun") {  // started as the user kernel: stamps the time beside itself
    const double now = Seconds();
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::ofstream(fs::path(self).parent_path() / "stamp.tmp") << std::to_string(now);
    fs::rename(fs::path(self).parent_path() / "stamp.tmp", fs::path(self).parent_path() / "stamp");
  } else if (mode == "launch") {
    Launch(argc > 2 ? std::atoi(argv[2]) : 20);
  } else if (mode == "settings") {
    Settings();
  } else if (mode == "log") {
    LogCosts();
  } else if (mode == "catalogue") {
    Catalogue();
  } else {
    std::fprintf(stderr, "usage: bench launch [ROUNDS] | settings | log | catalogue\n");
    return 2;
  }
  return 0;
}
