#include "log/LogLine.h"

#include <cstdarg>
#include <string>

#include "gtest/gtest.h"

namespace QARN {
namespace Log {
namespace {

void Format(char (&message)[kLogBufferSize], const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void Format(char (&message)[kLogBufferSize], const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatLogMessage(message, format, args);
  va_end(args);
}

TEST(LogLineTest, LineLayout) {
  char line[kLogBufferSize];
  FormatLogLine(line, ERROR, LogTime{7, 5, 3, 42}, "QARN::Some::Where",
                "went wrong");
  EXPECT_STREQ(line, "(  ERROR)[07:05:03.042] QARN::Some::Where: went wrong\n");
}

TEST(LogLineTest, LongTimeFieldsAreNotCut) {
  char line[kLogBufferSize];
  FormatLogLine(line, USER, LogTime{123, 0, 65535, 1000}, "c", "m");
  EXPECT_STREQ(line, "(   USER)[123:00:65535.1000] c: m\n");
}

TEST(LogLineTest, UnknownLevelsGetQuestionMarks) {
  char line[kLogBufferSize];
  FormatLogLine(line, static_cast<LogLevel>(5), LogTime{0, 0, 0, 0}, "c", "m");
  EXPECT_STREQ(line, "(???????" ")[00:00:00.000] c: m\n");
  EXPECT_STREQ(LevelLabel(static_cast<LogLevel>(-1)), "???????");
  EXPECT_STREQ(LevelLabel(VERBOSE), "VERBOSE");
}

TEST(LogLineTest, AnOverlongLineLosesItsEnd) {
  char line[kLogBufferSize];
  const std::string message(kLogBufferSize, 'm');
  FormatLogLine(line, WARNING, LogTime{1, 2, 3, 4}, "c", message.c_str());
  const std::string expected =
      ("(WARNING)[01:02:03.004] c: " + message).substr(0, kLogBufferSize - 1);
  EXPECT_EQ(std::string(line), expected);
}

TEST(LogLineTest, AnOverlongMessageIsCutTo4095Bytes) {
  char message[kLogBufferSize];
  const std::string text(2 * kLogBufferSize, 't');
  Format(message, "<%s>", text.c_str());
  EXPECT_EQ(std::string(message), "<" + text.substr(0, kLogBufferSize - 2));
}

// In the C locale, a wide character outside ASCII has no narrow form.
TEST(LogLineTest, AMessageThatCannotBeFormattedComesOutAsItsFormat) {
  char message[kLogBufferSize];
  Format(message, "Failed to convert the text of %d bytes: %ls", 5,
         L"caf\u00e9");
  EXPECT_STREQ(message, "Failed to convert the text of %d bytes: %ls");
}

TEST(LogLineTest, AnOverlongFormatThatCannotBeFormattedIsCutToo) {
  char message[kLogBufferSize];
  const std::string format = std::string(kLogBufferSize, 'f') + "%ls";
  Format(message, format.c_str(), L"caf\u00e9");
  EXPECT_EQ(std::string(message), format.substr(0, kLogBufferSize - 1));
}

}  // namespace
}  // namespace Log
}  // namespace QARN
