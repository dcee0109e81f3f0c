#include "log/LogLine.h"

#include <cstdio>
#include <iterator>

namespace QARN {
namespace Log {
namespace {

const char* const kLevelLabels[] = {"   USER", "  ERROR", "WARNING", "  DEBUG", "VERBOSE"};

const char* LevelLabel(LogLevel level) {
  const int index = static_cast<int>(level);
  const int count = static_cast<int>(std::size(kLevelLabels));
  return index >= 0 && index < count ? kLevelLabels[index] : "???????";
}

}  // namespace

void FormatLogMessage(char (&message)[kLogBufferSize], const char* format, va_list args) {
  // A cut message is still worth logging, so the count of what did not fit
  // is not needed.
  static_cast<void>(std::vsnprintf(message, sizeof message, format, args));
}

std::size_t FormatLogLine(char* line, std::size_t size, LogLevel level, const LogTime& time, const char* context,
                          const char* message) {
  const int length = std::snprintf(line, size, "(%s)[%02d:%02d:%02d.%03d] %s: %s\n", LevelLabel(level), time.hour,
                                   time.minute, time.second, time.milliseconds, context, message);
  if (length < 0) {
    line[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(length) < size ? static_cast<std::size_t>(length) : size - 1;
}

}  // namespace Log
}  // namespace QARN
