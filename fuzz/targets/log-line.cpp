// A log message and its line from any level, time, context name and message.
// The input is the level (4 bytes) and the hour, minute, second and
// millisecond (2 bytes each), all little-endian, then the context name up to
// the first LF, then the message. Missing bytes count as zero.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Check.h"
#include "log/LogLine.h"

namespace {

// Reads `size` bytes little-endian off the front of the input.
std::uint32_t TakeNumber(const std::uint8_t*& input, const std::uint8_t* end,
                         std::size_t size) {
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < size && input != end; ++i, ++input) {
    number |= static_cast<std::uint32_t>(*input) << (8 * i);
  }
  return number;
}

using QARN::Log::kLogBufferSize;
using QARN::Log::LogLevel;
using QARN::Log::LogTime;

void FormatMessage(char (&message)[kLogBufferSize], const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void FormatMessage(char (&message)[kLogBufferSize], const char* format, ...) {
  va_list args;
  va_start(args, format);
  QARN::Log::FormatLogMessage(message, format, args);
  va_end(args);
}

std::string ModelLabel(int level) {
  static const char* const kLabels[] = {"   USER", "  ERROR", "WARNING",
                                        "  DEBUG", "VERBOSE"};
  return level >= 0 && level <= 4 ? kLabels[level] : "???????";
}

// At least `width` digits, zero-padded.
std::string ModelNumber(int value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// The most a buffer of the log holds, without its terminator.
std::string ModelCut(const std::string& text) {
  return text.substr(0, kLogBufferSize - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::uint8_t* input = data;
  const std::uint8_t* const end = data + size;
  const int level = static_cast<int>(TakeNumber(input, end, 4));
  // The platform's clock fields are 16-bit.
  LogTime time{};
  time.hour = static_cast<int>(TakeNumber(input, end, 2));
  time.minute = static_cast<int>(TakeNumber(input, end, 2));
  time.second = static_cast<int>(TakeNumber(input, end, 2));
  time.milliseconds = static_cast<int>(TakeNumber(input, end, 2));
  const std::uint8_t* contextEnd = input;
  while (contextEnd != end && *contextEnd != '\n') ++contextEnd;
  // C strings: each ends at its first NUL.
  const std::string context = std::string(input, contextEnd).c_str();
  const std::string text =
      std::string(contextEnd == end ? end : contextEnd + 1, end).c_str();

  char message[kLogBufferSize];
  std::memset(message, 0x5A, sizeof message);
  FormatMessage(message, "%s", text.c_str());
  const std::string expectedMessage = ModelCut(text);
  QARN_FUZZ_CHECK(std::memchr(message, '\0', sizeof message) != nullptr);
  QARN_FUZZ_CHECK(message == expectedMessage);

  char line[kLogBufferSize];
  std::memset(line, 0x5A, sizeof line);
  QARN::Log::FormatLogLine(line, static_cast<LogLevel>(level), time,
                           context.c_str(), message);
  const std::string expectedLine =
      ModelCut("(" + ModelLabel(level) + ")[" + ModelNumber(time.hour, 2) +
               ":" + ModelNumber(time.minute, 2) + ":" +
               ModelNumber(time.second, 2) + "." +
               ModelNumber(time.milliseconds, 3) + "] " + context + ": " +
               expectedMessage + "\n");
  QARN_FUZZ_CHECK(std::memchr(line, '\0', sizeof line) != nullptr);
  QARN_FUZZ_CHECK(line == expectedLine);
  QARN_FUZZ_CHECK(ModelLabel(level) ==
                  QARN::Log::LevelLabel(static_cast<LogLevel>(level)));
  return 0;
}
