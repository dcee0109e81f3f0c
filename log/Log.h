// The diagnostic log: one channel through which every component reports what
// it does and what went wrong.
//
// A call carries a level, the fully qualified name of the operation that logs
// (its context name) and a message. Only USER and ERROR messages pass; they go
// to standard error (ERROR only), to an optional listener and to an optional
// log file, in that order. The level and context name of the latest call are
// process-wide state that every call sets, whether its message passes or not.
// Nothing here takes a lock: the log is used from the launcher's one thread.
#pragma once

#include "log/LogLine.h"

namespace QARN {
namespace Log {

// Receives every message that passes the threshold, without label, time or
// context prefix.
class LogListener {
 public:
  virtual void OnLogMessage(LogLevel level, const char* context, const char* message) = 0;

 protected:
  ~LogListener() = default;
};

// Logs a message built from a printf-style format. Messages below the
// threshold are not formatted at all.
void LogPrintf(LogLevel level, const char* context, const char* format, ...) QARN_PRINTF_FORMAT(3, 4);

// Logs a finished text; it is never read as a format.
void LogMessage(LogLevel level, const char* context, const char* text);

// The level and context name of the latest log call. `context` is the
// caller's pointer, never a copy, so context names must be string constants.
LogLevel CurrentLevel();
const char* CurrentContext();

// Installs or removes (null) the listener. The log does not own it.
void SetLogListener(LogListener* listener);

}  // namespace Log
}  // namespace QARN
