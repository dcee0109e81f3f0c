// Clock, statistics and the figure lines shared by the benchmark programs.
// The performance counter is system-wide and monotonic, so readings taken in
// different processes compare.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace QARN {
namespace Bench {

inline long long Ticks() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

inline double TicksPerSecond() {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(frequency.QuadPart);
}

inline double Seconds(long long ticks) { return ticks / TicksPerSecond(); }

// The median of `values`; the mean of the middle two for an even count.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle]
                           : (values[middle - 1] + values[middle]) / 2;
}

// One figure: a label, a number and what it counts, then a note.
inline void PrintFigure(const char* label, double value, const char* unit,
                        const char* note = "") {
  std::printf("%-36s %12.3f %-6s %s\n", label, value, unit, note);
  std::fflush(stdout);
}

// Ends the benchmark with a message on standard error and exit code 1.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "bench: %s (error %lu)\n", what,
               static_cast<unsigned long>(::GetLastError()));
  std::exit(1);
}

}  // namespace Bench
}  // namespace QARN
