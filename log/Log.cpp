#include "log/Log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace QARN {
namespace Log {
namespace {

// Process-wide log state; zero, null and empty at process start.
LogLevel g_currentLevel = USER;
const char* g_currentContext = nullptr;
LogListener* g_listener = nullptr;
boost::shared_ptr<LogFile> g_logFile;

constexpr const char kLineFormat[] = "(%s)[%02d:%02d:%02d.%03d] %s: %s\n";

const char* const kLevelLabels[] = {"   USER", "  ERROR", "WARNING", "  DEBUG",
                                    "VERBOSE"};

bool PassesThreshold(LogLevel level) { return level <= ERROR; }

void SetCurrent(LogLevel level, const char* context) {
  g_currentLevel = level;
  g_currentContext = context;
}

// Each sink reads the time when it writes, so the stderr line and the file
// line of one message may differ by a millisecond.
SYSTEMTIME LocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return now;
}

void WriteToStderr(const char* message) {
  const SYSTEMTIME now = LocalTime();
  std::fprintf(stderr, kLineFormat, LevelLabel(g_currentLevel), now.wHour,
               now.wMinute, now.wSecond, now.wMilliseconds, g_currentContext,
               message);
}

void WriteToLogFile(const char* message) {
  char line[kLogBufferSize];
  const SYSTEMTIME now = LocalTime();
  std::snprintf(line, sizeof line, kLineFormat, LevelLabel(g_currentLevel),
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                g_currentContext, message);
  if (!g_logFile || !g_logFile->Stream()) return;
  // fputs rather than fprintf("%s"): this C library's fprintf counts the
  // characters even when the stream refuses them, hiding the failure.
  if (std::fputs(line, g_logFile->Stream()) < 0) {
    ::OutputDebugStringA("Unable to log: fprintf failed\n");
  }
  if (std::fflush(g_logFile->Stream()) != 0) {
    ::OutputDebugStringA("Unable to log: fflush failed\n");
  }
}

void Emit(const char* message) {
  if (!PassesThreshold(g_currentLevel)) return;
  if (g_currentLevel == ERROR) WriteToStderr(message);
  if (g_listener) {
    g_listener->OnLogMessage(g_currentLevel, g_currentContext, message);
  }
  WriteToLogFile(message);
}

}  // namespace

LogFile::~LogFile() {
  if (stream_) std::fclose(stream_);
}

void LogPrintf(LogLevel level, const char* context, const char* format, ...) {
  SetCurrent(level, context);
  if (!PassesThreshold(level)) return;
  char message[kLogBufferSize];
  va_list args;
  va_start(args, format);
  // Cuts an overlong message at the buffer's end instead of failing; a
  // message that cannot be formatted at all (an argument with no narrow form)
  // is logged as its format rather than lost.
  if (std::vsnprintf(message, sizeof message, format, args) < 0) {
    std::snprintf(message, sizeof message, "%s", format);
  }
  va_end(args);
  Emit(message);
}

void LogMessage(LogLevel level, const char* context, const char* text) {
  SetCurrent(level, context);
  Emit(text);
}

LogLevel CurrentLevel() { return g_currentLevel; }

const char* CurrentContext() { return g_currentContext; }

const char* LevelLabel(LogLevel level) {
  const int index = static_cast<int>(level);
  const int count = static_cast<int>(sizeof kLevelLabels / sizeof *kLevelLabels);
  return index >= 0 && index < count ? kLevelLabels[index] : "???????";
}

void SetLogListener(LogListener* listener) { g_listener = listener; }

void SetLogFile(const boost::shared_ptr<LogFile>& file) { g_logFile = file; }

}  // namespace Log
}  // namespace QARN
