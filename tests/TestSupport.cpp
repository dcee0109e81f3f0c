// Entry of the test program. Besides the tests, "--resolve-extended-error
// [--load-plainly]" resolves WinINet's extended error as the launcher would,
// from wherever the program was copied to (see the planted-DLL test).
#include <cstdio>
#include <cstring>

#include "gtest/gtest.h"
#include "log/LastError.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--resolve-extended-error") == 0) {
    if (argc > 2) ::LoadLibraryA("wininet.dll");
    ::SetLastError(12003);  // ERROR_INTERNET_EXTENDED_ERROR
    return QARN::Log::Internal::LogGetLastError("QARN::Test::Resolve") < 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // An entry whose filter matches no test must not pass unnoticed.
  if (!GTEST_FLAG_GET(list_tests) &&
      ::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    std::fprintf(stderr, "No test ran.\n");
    return 1;
  }
  return result;
}
