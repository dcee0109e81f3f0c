// Catalogue build time: the first ErrorMessageMap::Instance() call of a
// process, with a locale.cfg that names fr_fr, under a temporary installation
// root. The catalogue is built once per process, so every reading comes from
// a fresh process; the figure is their median.
//
//   catalogue-timer [PROCESSES]   PROCESSES measured processes (default 15)
//                                 after one unmeasured
//   catalogue-timer --child FILE  builds the catalogue once and appends the
//                                 microseconds it took to FILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "common/ErrorMessageMap.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Bench {
namespace {

int Child(const char* resultPath) {
  const long long before = Ticks();
  const Common::ErrorMessageMap& catalogue = Common::ErrorMessageMap::Instance();
  const long long after = Ticks();
  const std::string* caption = catalogue.Find(Common::QARN_S_ERROR_CAPTION);
  if (!caption || *caption != "Erreur QARN") {
    Fail("the catalogue was not built in French");
  }
  std::FILE* file = std::fopen(resultPath, "ab");
  if (!file) Fail("cannot open the result file");
  std::fprintf(file, "%.3f\n", Seconds(after - before) * 1e6);
  return std::fclose(file) == 0 ? 0 : 1;
}

void RunChild(const std::string& resultPath) {
  std::string commandLine = "\"" + Testing::ProgramFolder() +
                            "catalogue-timer.exe\" --child \"" + resultPath +
                            "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    Fail("cannot start a measuring process");
  }
  DWORD exitCode = 1;
  ::WaitForSingleObject(process.hProcess, 60000);
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (exitCode != 0) Fail("a measuring process failed");
}

int Run(int processes) {
  const Testing::TempDir dir;
  const std::string root = dir.Path() + "root";
  Testing::CreateDirectories(root + "\\system");
  Testing::WriteFileBytes(root + "\\system\\locale.cfg",
                          "# Language of the messages\r\nlocale=fr_fr\r\n");
  const Testing::InstallationRootOverride rootOverride(root);
  const std::string resultPath = dir.Path() + "results.txt";

  RunChild(dir.Path() + "warm-up.txt");
  for (int i = 0; i < processes; ++i) RunChild(resultPath);

  std::vector<double> microseconds;
  for (const std::string& line :
       Testing::SplitLines(Testing::ReadFileBytes(resultPath))) {
    microseconds.push_back(std::atof(line.c_str()));
  }
  if (microseconds.size() != static_cast<std::size_t>(processes)) {
    Fail("a measuring process left no reading");
  }
  PrintFigure("catalogue: first Instance(), fr_fr", Median(microseconds), "us",
              ("(median of " + std::to_string(processes) + " processes)")
                  .c_str());
  return 0;
}

}  // namespace
}  // namespace Bench
}  // namespace QARN

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return QARN::Bench::Child(argv[2]);
  }
  const int processes = argc > 1 ? std::atoi(argv[1]) : 15;
  if (processes < 1) QARN::Bench::Fail("PROCESSES must be at least 1");
  return QARN::Bench::Run(processes);
}
