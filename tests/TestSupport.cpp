// Entry of the test program, which also stands in for other programs:
// - copied as one of the two programs the launcher starts, it is the probe: it
//   writes its command line, its current directory (both UTF-8) and its
//   console (how many processes share it, and whether it has a window) to
//   its own path and ".txt" (read once it has ended);
// - with "--resolve-extended-error [--load-plainly]", it resolves WinINet's
//   extended error as the launcher would (see the planted-DLL test);
// - with "--code-page", it prints the ANSI code page it runs under.
#include "tests/TestSupport.h"

#include <cstdio>
#include <cstring>
#include <regex>

#include "common/PlatformHooks.h"
#include "log/LastError.h"

namespace {
namespace fs = std::filesystem;

// A copy named as one of the two programs the launcher starts, or a decoy whose name ends with one.
bool IsProbe(const fs::path& self) {
  return std::regex_search(self.filename().u8string(), std::regex(R"((qarn_user_kernel|zib\.launcher\.admin)\.exe$)"));
}

int RecordHowItWasStarted(const fs::path& self) {
  DWORD sharing[8];
  DWORD sharers = 0;
  // Under load, Wine's console host, and then its window, may come up well after the program it serves; it has a
  // window only where Wine has a display. Half the tests' patience: a console that never comes is recorded before they
  // give up.
  const bool windowed = ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0;
  QARN::Testing::Poll(
      [&] { return (sharers = ::GetConsoleProcessList(sharing, 8)) > 0 && (!windowed || ::GetConsoleWindow()); },
      QARN::Testing::kPatienceMs / 2);
  std::ofstream(fs::path(self.native() + L".txt"))
      << fs::path(::GetCommandLineW()).u8string() << '\n'
      << fs::current_path().u8string() << '\n'
      << sharers << (::GetConsoleWindow() ? " with a window" : " without a window") << '\n';
  return 0;
}

// Resolves the extended error as the launcher does, or with the WinINet that a
// plain load by name finds (`loadPlainly`).
int ResolveExtendedError(bool loadPlainly) {
  using QARN::Common::InternetGetLastResponseInfoFunction;
  const HMODULE plain = loadPlainly ? ::LoadLibraryA("wininet.dll") : nullptr;
  const QARN::Common::ScopedHook<InternetGetLastResponseInfoFunction> hook(
      QARN::Common::PlatformHooks::internetGetLastResponseInfo,
      plain ? reinterpret_cast<InternetGetLastResponseInfoFunction>(
                  ::GetProcAddress(plain, "InternetGetLastResponseInfoA"))
            : nullptr);
  ::SetLastError(12003);  // ERROR_INTERNET_EXTENDED_ERROR
  static_cast<void>(QARN::Log::Internal::LogGetLastError("QARN::Test::Resolve"));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path self = QARN::Testing::ProgramPath();
  if (IsProbe(self)) return RecordHowItWasStarted(self);
  if (argc > 1 && std::strcmp(argv[1], "--resolve-extended-error") == 0) return ResolveExtendedError(argc > 2);
  if (argc > 1 && std::strcmp(argv[1], "--code-page") == 0) return std::printf("%u\n", ::GetACP()) < 0;
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // An entry whose filter matches no test must not pass unnoticed.
  if (!GTEST_FLAG_GET(list_tests) && ::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    std::fprintf(stderr, "No test ran.\n");
    return 1;
  }
  return result;
}
