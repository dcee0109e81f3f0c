// What a fuzz target does when an invariant breaks: names it and aborts, so
// that libFuzzer keeps the input as a crash and the run fails.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace QARN {
namespace Fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace Fuzz
}  // namespace QARN

#define QARN_FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) \
               : ::QARN::Fuzz::Fail(#condition, __FILE__, __LINE__))
