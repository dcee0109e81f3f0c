#include "log/LogLine.h"

#include <cstdio>
#include <iterator>

namespace QARN {
namespace Log {
namespace {

const char* const kLevelLabels[] = {"   USER", "  ERROR", "WARNING", "  DEBUG",
                                    "VERBOSE"};

}  // namespace

void FormatLogMessage(char (&message)[kLogBufferSize], const char* format,
                      va_list args) {
  // A cut message is still worth logging, so the count of what did not fit
  // is not needed.
  if (std::vsnprintf(message, sizeof message, format, args) < 0) {
    static_cast<void>(std::snprintf(message, sizeof message, "%s", format));
  }
}

void FormatLogLine(char (&line)[kLogBufferSize], LogLevel level,
                   const LogTime& time, const char* context,
                   const char* message) {
  static_cast<void>(std::snprintf(line, sizeof line, kLogLineFormat,
                                  LevelLabel(level), time.hour, time.minute,
                                  time.second, time.milliseconds, context,
                                  message));
}

const char* LevelLabel(LogLevel level) {
  const int index = static_cast<int>(level);
  const int count = static_cast<int>(std::size(kLevelLabels));
  return index >= 0 && index < count ? kLevelLabels[index] : "???????";
}

}  // namespace Log
}  // namespace QARN
