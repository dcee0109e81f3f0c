// How a log message and a log line read. Pure text work, no platform calls:
// the sinks take the time and write the lines.
#pragma once

#include <cstdarg>
#include <cstddef>

// Has the compiler check a call's arguments against its format. Clang, which
// runs the analysers and the host build, knows no gnu_printf; GCC needs it,
// for the mingw-w64 C library formats by the GNU rules here.
#if defined(__clang__)
#define QARN_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define QARN_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif

namespace QARN {
namespace Log {

enum LogLevel : int {
  USER = 0,
  ERROR = 1,
  WARNING = 2,
  DEBUG = 3,
  VERBOSE = 4,
};

// Size of the message and line buffers; longer texts are cut to 4095 bytes.
constexpr int kLogBufferSize = 4096;

// The local time a line carries.
struct LogTime {
  int hour;
  int minute;
  int second;
  int milliseconds;
};

// Formats a message into `message`, cut to fit (4095 bytes and the
// terminator). This program's C library formats every message: a "%ls"
// argument with a character it cannot narrow is cut before that character,
// and the rest of the message follows.
void FormatLogMessage(char (&message)[kLogBufferSize], const char* format, va_list args) QARN_PRINTF_FORMAT(2, 0);

// Formats the line of `message` into the `size` bytes at `line`:
// "(label)[hh:mm:ss.mmm] context: message" and LF, cut to fit (a cut line
// loses its end, LF included). Levels outside the enum get the label
// "???????". Returns the length of the line.
std::size_t FormatLogLine(char* line, std::size_t size, LogLevel level, const LogTime& time, const char* context,
                          const char* message);

}  // namespace Log
}  // namespace QARN
