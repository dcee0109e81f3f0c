// How a log message and a log line read. Pure text work, no platform calls:
// the sinks take the time and write the lines.
#pragma once

#include <cstdarg>

#include "log/Log.h"

namespace QARN {
namespace Log {

// The local time a line carries.
struct LogTime {
  int hour;
  int minute;
  int second;
  int milliseconds;
};

// Every line: label, time, context name, message, LF. Standard error gets it
// whatever its length; the file sink gets it cut by FormatLogLine.
constexpr const char kLogLineFormat[] = "(%s)[%02d:%02d:%02d.%03d] %s: %s\n";

// Formats a message into `message`, cut to fit (4095 bytes and the
// terminator). A message that cannot be formatted at all (an argument with no
// narrow form) comes out as its format, cut the same way.
void FormatLogMessage(char (&message)[kLogBufferSize], const char* format,
                      va_list args) QARN_PRINTF_FORMAT(2, 0);

// Formats the line of `message` into `line`, cut to fit like a message: a cut
// line loses its end, LF included.
void FormatLogLine(char (&line)[kLogBufferSize], LogLevel level,
                   const LogTime& time, const char* context,
                   const char* message);

}  // namespace Log
}  // namespace QARN
