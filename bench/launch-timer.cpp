// Launch overhead: the time from the performance counter reading just before
// CreateProcess of a starter to the first reading of the user kernel's
// stand-in, for ZiBLauncher.exe and for bench/minimal-starter.cpp, started in
// turn from one temporary installation, the order rotating from run to run.
// A third starter, the minimal one importing the launcher's DLLs, shows how
// much of the difference is the loading of those DLLs. Besides the medians
// and their ratio, the ratio is also given as the median of the ratios
// within each round and as the ratio of the fastest starts, which a busy
// machine disturbs less.
//
// The installation lies outside both Program Files folders of the registry
// (set for the run, restored after), so the launcher takes the user kernel
// path; the starters run in the installation's folder, where no migrator is.
// Each start is checked: the stand-in must have got the same command line and
// working folder from either starter.
//
//   launch-timer [RUNS]     RUNS measured starts of each starter (default
//                           20), after two unmeasured starts of each
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "bench/KernelStamp.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Bench {
namespace {

constexpr const char kCurrentVersionKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char kProgramW6432Dir[] = "C:\\Program Files";
constexpr const char kProgramFilesDir[] = "C:\\Program Files (x86)";
constexpr int kWarmUpRuns = 2;

class Installation {
 public:
  Installation()
      : folder_(root_.Path() + "Games\\Play\\"),
        kernelFolder_(folder_ + "QARN\\system\\") {
    Testing::CreateDirectories(kernelFolder_);
    const std::string programs = Testing::ProgramFolder();
    Testing::CopyFileTo(programs + "ZiBLauncher.exe",
                        folder_ + "ZiBLauncher.exe");
    for (const char* starter : {"minimal-starter.exe",
                                "minimal-starter-dlls.exe"}) {
      Testing::CopyFileTo(programs + starter, folder_ + starter);
    }
    Testing::CopyFileTo(programs + "kernel-stamp.exe",
                        kernelFolder_ + "qarn_user_kernel.exe");
    if (folder_.compare(0, sizeof kProgramW6432Dir - 1, kProgramW6432Dir) ==
        0) {
      Fail("the temporary folder lies under Program Files");
    }
  }

  const std::string& Folder() const { return folder_; }
  std::string StampPath() const { return kernelFolder_ + kKernelStampName; }
  std::string ExpectedStamp() const {
    return "\"" + kernelFolder_ +
           "qarn_user_kernel.exe\" updateandrun zib_launcher ZiBLauncher.exe\n" +
           folder_ + "QARN\n";
  }

 private:
  Testing::TempDir root_;
  std::string folder_;
  std::string kernelFolder_;
};

// Starts `program` of the installation and returns the ticks until the
// stand-in's first reading.
long long TimeOneStart(const Installation& installation,
                       const std::string& program, HANDLE kernelStarted) {
  const std::string stampPath = installation.StampPath();
  ::DeleteFileA(stampPath.c_str());
  ::ResetEvent(kernelStarted);
  std::string commandLine = "\"" + installation.Folder() + program + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};

  const long long before = Ticks();
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, installation.Folder().c_str(), &startup,
                        &process)) {
    Fail(("cannot start " + program).c_str());
  }
  const bool started =
      ::WaitForSingleObject(kernelStarted, 30000) == WAIT_OBJECT_0;
  const bool exited =
      ::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (!started) Fail((program + " did not start the user kernel").c_str());
  if (!exited) Fail((program + " did not exit").c_str());

  const std::string stamp = Testing::ReadFileBytes(stampPath);
  const std::size_t firstLineEnd = stamp.find('\n');
  if (firstLineEnd == std::string::npos ||
      stamp.substr(firstLineEnd + 1) != installation.ExpectedStamp()) {
    std::fprintf(stderr, "stand-in record after %s:\n%s", program.c_str(),
                 stamp.c_str());
    Fail("the user kernel was not started as the launcher starts it");
  }
  // The stand-in exits just after the event; let it go before the next start.
  ::Sleep(30);
  return std::strtoll(stamp.c_str(), nullptr, 10) - before;
}

int Run(int runs) {
  const Testing::RegistryValueOverride w6432(kCurrentVersionKey,
                                             "ProgramW6432Dir", kProgramW6432Dir);
  const Testing::RegistryValueOverride files(kCurrentVersionKey,
                                             "ProgramFilesDir", kProgramFilesDir);
  const Installation installation;
  const HANDLE kernelStarted =
      ::CreateEventA(nullptr, TRUE, FALSE, kKernelStartedEvent);
  if (!kernelStarted) Fail("cannot create the event");

  struct Starter {
    const char* program;
    const char* label;
    std::vector<double> ms;
  };
  Starter starters[] = {
      {"ZiBLauncher.exe", "launch: ZiBLauncher.exe", {}},
      {"minimal-starter.exe", "launch: minimal-starter.exe", {}},
      {"minimal-starter-dlls.exe", "launch: minimal, launcher's DLLs", {}},
  };
  constexpr int kStarters = sizeof starters / sizeof *starters;
  const double msPerTick = 1000 / TicksPerSecond();
  for (int run = 0; run < kWarmUpRuns + runs; ++run) {
    // Rotate the order, so that no starter always follows the same one.
    for (int turn = 0; turn < kStarters; ++turn) {
      Starter& starter = starters[(run + turn) % kStarters];
      const double ms =
          TimeOneStart(installation, starter.program, kernelStarted) *
          msPerTick;
      if (run >= kWarmUpRuns) starter.ms.push_back(ms);
    }
  }
  ::CloseHandle(kernelStarted);

  const std::string note = "(median of " + std::to_string(runs) + ")";
  double medians[kStarters];
  for (int i = 0; i < kStarters; ++i) {
    medians[i] = Median(starters[i].ms);
    PrintFigure(starters[i].label, medians[i], "ms", note.c_str());
  }
  PrintFigure("launch: launcher / minimal", medians[0] / medians[1], "",
              "(target: 1.10 at most)");
  PrintFigure("launch: launcher / minimal with DLLs", medians[0] / medians[2],
              "", "(the launcher's own work)");
  // Load from other processes comes and goes during a run; starts of one
  // round are close in time, so the ratio within each round and the fastest
  // starts are steadier on a busy machine than the medians.
  std::vector<double> roundRatios;
  for (int run = 0; run < runs; ++run) {
    roundRatios.push_back(starters[0].ms[run] / starters[1].ms[run]);
  }
  PrintFigure("launch: launcher / minimal by round", Median(roundRatios), "",
              "(median of the ratios within each round)");
  const auto fastest = [](const std::vector<double>& ms) {
    return *std::min_element(ms.begin(), ms.end());
  };
  PrintFigure("launch: launcher / minimal, fastest",
              fastest(starters[0].ms) / fastest(starters[1].ms), "",
              "(fastest start of each)");
  return 0;
}

}  // namespace
}  // namespace Bench
}  // namespace QARN

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
  if (runs < 1) QARN::Bench::Fail("RUNS must be at least 1");
  return QARN::Bench::Run(runs);
}
