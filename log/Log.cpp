#include "log/Log.h"

#include <io.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "log/LogFile.h"
#include "log/LogLine.h"

namespace QARN {
namespace Log {
namespace {

// Process-wide log state; zero, null and empty at process start.
LogLevel g_currentLevel = USER;
const char* g_currentContext = nullptr;
LogListener* g_listener = nullptr;
boost::shared_ptr<LogFile> g_logFile;

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

LogTime ToLogTime(const SYSTEMTIME& time) {
  return LogTime{time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

void WriteToStderr(const char* message) {
  // Room for the longest message and any context name: the line goes whole.
  char line[2 * kLogBufferSize];
  std::size_t length =
      FormatLogLine(line, sizeof line - 1, g_currentLevel, ToLogTime(LocalTime()), g_currentContext, message);
  // The line ends as the C library's text mode ends it, with CR LF; the
  // message itself goes as it came.
  if (length > 0 && line[length - 1] == '\n') {
    line[length - 1] = '\r';
    line[length++] = '\n';
  }
  // One platform write to the handle behind the C library's standard error:
  // the library's stream functions write a character device (NUL, a
  // console) a character at a time, and even its descriptor write asks the
  // system first whether the device is a console. Standard error is the last
  // place a failure could be reported to, so the result is not looked at.
  DWORD written = 0;
  static_cast<void>(::WriteFile(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stderr))), line,
                                static_cast<DWORD>(length), &written, nullptr));
}

void WriteToLogFile(const char* message) {
  // Without an open log file there is nothing to format the line for.
  if (!g_logFile || !g_logFile->Stream()) return;
  char line[kLogBufferSize];
  static_cast<void>(
      FormatLogLine(line, sizeof line, g_currentLevel, ToLogTime(LocalTime()), g_currentContext, message));
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

// The callers' format strings are checked at compile time (see
// QARN_PRINTF_FORMAT), which a parameter pack would lose.
// NOLINTNEXTLINE(cert-dcl50-cpp)
void LogPrintf(LogLevel level, const char* context, const char* format, ...) {
  SetCurrent(level, context);
  if (!PassesThreshold(level)) return;
  char message[kLogBufferSize];
  va_list args;
  va_start(args, format);
  FormatLogMessage(message, format, args);
  va_end(args);
  Emit(message);
}

void LogMessage(LogLevel level, const char* context, const char* text) {
  SetCurrent(level, context);
  Emit(text);
}

LogLevel CurrentLevel() { return g_currentLevel; }

const char* CurrentContext() { return g_currentContext; }

void SetLogListener(LogListener* listener) { g_listener = listener; }

void SetLogFile(const boost::shared_ptr<LogFile>& file) { g_logFile = file; }

}  // namespace Log
}  // namespace QARN
