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

#include <boost/shared_ptr.hpp>
#include <cstdio>

#include "common/UniqueAny.h"

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

// Receives every message that passes the threshold, without label, time or
// context prefix.
class LogListener {
 public:
  virtual void OnLogMessage(LogLevel level, const char* context, const char* message) = 0;

 protected:
  ~LogListener() = default;
};

// An open C stream that the file sink writes every passing line to, flushing
// after each. Owns the stream: it is closed when the last reference goes.
class LogFile {
 public:
  explicit LogFile(std::FILE* stream) : stream_(stream) {}

  // Null when no stream is open; the file sink then writes nothing.
  std::FILE* Stream() const { return stream_.Get(); }

 private:
  // Every line was flushed, and its failure reported, when it was written,
  // so closing loses nothing.
  Common::UniqueStream stream_;
};

// Size of the message and line buffers; longer texts are cut to 4095 bytes.
constexpr int kLogBufferSize = 4096;

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

// Installs or removes (empty) the log file.
void SetLogFile(const boost::shared_ptr<LogFile>& file);

}  // namespace Log
}  // namespace QARN
