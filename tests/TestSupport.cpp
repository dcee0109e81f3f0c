// Entry of the test program, which also stands in for other programs:
// - copied under another name, it is the probe that the launcher starts: it
//   writes its command line, its current directory (both UTF-8) and how many
//   processes share its console (1: a console of its own) to
//   "probe-record.txt" beside itself, whole, by a rename;
// - with "--resolve-extended-error [--load-plainly]", it resolves WinINet's
//   extended error as the launcher would (see the planted-DLL test).
#include "tests/TestSupport.h"

#include <cstdio>
#include <cstring>

#include "log/LastError.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path self = QARN::Testing::ProgramPath(), folder = self.parent_path();
  if (self.filename() != L"qarn_tests.exe") {
    DWORD sharing[8];
    std::ofstream(folder / L"probe-record.tmp") << fs::path(::GetCommandLineW()).u8string() << '\n'
                                                << fs::current_path().u8string() << '\n'
                                                << ::GetConsoleProcessList(sharing, 8) << '\n';
    return fs::rename(folder / L"probe-record.tmp", folder / L"probe-record.txt"), 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--resolve-extended-error") == 0) {
    if (argc > 2) ::LoadLibraryA("wininet.dll");
    ::SetLastError(12003);  // ERROR_INTERNET_EXTENDED_ERROR
    return static_cast<void>(QARN::Log::Internal::LogGetLastError("QARN::Test::Resolve")), 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // An entry whose filter matches no test must not pass unnoticed.
  if (!GTEST_FLAG_GET(list_tests) && ::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    return std::fprintf(stderr, "No test ran.\n"), 1;
  }
  return result;
}
