// Cost of log calls, in nanoseconds per call:
//  - a LogPrintf at DEBUG with a format and arguments, which the threshold
//    drops, against a call of an empty function of the same signature that
//    the compiler can neither inline nor see into (median of 7 rounds of
//    10^7 calls);
//  - a LogPrintf at ERROR, which formats the message and writes its line to
//    standard error, in a process started with its standard error sent to a
//    file, then in one started with it sent to NUL (median of 5 rounds of
//    10^4 lines to the file, of 100 lines to NUL). The C runtime decides how
//    to buffer standard error when it first writes to it, from what the
//    handle is (a file, or a character device such as NUL or a console), so
//    each target gets a fresh process.
//
//   log-cost                                  prints the figures
//   log-cost --error-lines LINES RESULT_FILE  writes 5 rounds of LINES ERROR
//                                             lines to its standard error and
//                                             the nanoseconds per line to
//                                             RESULT_FILE
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "log/Log.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Bench {
namespace {

constexpr const char kContext[] = "QARN::Bench::LogCost::Run";
constexpr int kDroppedRounds = 7;
constexpr long kDroppedCalls = 10000000;
constexpr int kWrittenRounds = 5;
constexpr long kLinesToFile = 10000;
// Every character is a write of its own there; see docs/performance.md.
constexpr long kLinesToNul = 100;

__attribute__((noipa)) void EmptyPrintf(Log::LogLevel, const char*,
                                        const char*, ...) {}

template <typename Body>
double NanosecondsPerCall(int rounds, long calls, Body body) {
  std::vector<double> perCall;
  for (int round = 0; round < rounds; ++round) {
    const long long before = Ticks();
    for (long i = 0; i < calls; ++i) body(i);
    const long long after = Ticks();
    perCall.push_back(Seconds(after - before) * 1e9 / calls);
  }
  return Median(perCall);
}

int WriteErrorLines(long lines, const char* resultPath) {
  const double perLine =
      NanosecondsPerCall(kWrittenRounds, lines, [](long i) {
        Log::LogPrintf(Log::ERROR, kContext, "Failed to open \"%s\" (%ld).",
                       "C:\\qarn\\system\\locale.cfg", i);
      });
  std::FILE* file = std::fopen(resultPath, "wb");
  if (!file) Fail("cannot open the result file");
  std::fprintf(file, "%.3f\n", perLine);
  return std::fclose(file) == 0 ? 0 : 1;
}

// Runs this program with --error-lines, its standard error sent to
// `stderrPath`, and returns the nanoseconds per line it measured.
double ErrorLineCost(long lines, const std::string& stderrPath,
                     const std::string& resultPath) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  const HANDLE target = ::CreateFileA(
      stderrPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
      &inheritable, stderrPath == "NUL" ? OPEN_EXISTING : CREATE_ALWAYS,
      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) Fail(("cannot open " + stderrPath).c_str());
  std::string commandLine = "\"" + Testing::ProgramFolder() +
                            "log-cost.exe\" --error-lines " +
                            std::to_string(lines) + " \"" + resultPath + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = target;
  startup.hStdError = target;
  PROCESS_INFORMATION process = {};
  const bool started =
      ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &startup, &process);
  ::CloseHandle(target);
  if (!started) Fail("cannot start the measuring process");
  DWORD exitCode = 1;
  ::WaitForSingleObject(process.hProcess, 120000);
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (exitCode != 0) Fail("the measuring process failed");
  return std::atof(Testing::ReadFileBytes(resultPath).c_str());
}

int Run() {
  const double empty =
      NanosecondsPerCall(kDroppedRounds, kDroppedCalls, [](long i) {
        EmptyPrintf(Log::DEBUG, kContext, "(\"%s\", %ld)", "locale.cfg", i);
      });
  const double dropped =
      NanosecondsPerCall(kDroppedRounds, kDroppedCalls, [](long i) {
        Log::LogPrintf(Log::DEBUG, kContext, "(\"%s\", %ld)", "locale.cfg", i);
      });
  PrintFigure("log: empty function call", empty, "ns",
              "(same arguments, not inlined)");
  PrintFigure("log: dropped DEBUG LogPrintf", dropped, "ns");

  const Testing::TempDir dir;
  const std::string file = dir.Path() + "stderr.txt";
  const double toFile =
      ErrorLineCost(kLinesToFile, file, dir.Path() + "file-result.txt");
  const std::string written = Testing::ReadFileBytes(file);
  const std::size_t lines = std::count(written.begin(), written.end(), '\n');
  if (lines != static_cast<std::size_t>(kLinesToFile) * kWrittenRounds) {
    Fail("the ERROR lines did not all reach the file");
  }
  char note[64];
  std::snprintf(note, sizeof note, "(lines of %zu bytes)",
                written.size() / lines);
  PrintFigure("log: ERROR line, stderr to a file", toFile, "ns", note);
  PrintFigure("log: ERROR line, stderr to NUL",
              ErrorLineCost(kLinesToNul, "NUL", dir.Path() + "nul-result.txt"),
              "ns");
  return 0;
}

}  // namespace
}  // namespace Bench
}  // namespace QARN

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--error-lines") == 0) {
    return QARN::Bench::WriteErrorLines(std::atol(argv[2]), argv[3]);
  }
  return QARN::Bench::Run();
}
