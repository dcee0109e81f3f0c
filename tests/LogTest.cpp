#include "log/Log.h"

#include <windows.h>

#include <regex>
#include <ostream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Log {
namespace {

using Testing::LogRecorder;
using Testing::SplitLines;
using Testing::StderrCapture;
using Testing::TempDir;

constexpr const char kContext[] = "QARN::Test::LogTest::Op";

// Sees what OutputDebugStringA sends: the platform raises it as an exception
// that a vectored handler observes before any debugger would.
class DebugOutputRecorder {
 public:
  DebugOutputRecorder() {
    Messages().clear();
    handler_ = ::AddVectoredExceptionHandler(1, &OnException);
  }
  ~DebugOutputRecorder() { ::RemoveVectoredExceptionHandler(handler_); }
  static std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
  }

 private:
  static LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C &&
        record.NumberParameters >= 2) {
      Messages().push_back(
          reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_SEARCH;
  }
  void* handler_;
};

// A log file in a temporary folder, installed while it lives.
class InstalledLogFile {
 public:
  explicit InstalledLogFile(const char* mode = "w+b")
      : path_(dir_.Path() + "log.txt") {
    if (std::string(mode) == "rb") Testing::WriteFileBytes(path_, "");
    SetLogFile(boost::shared_ptr<LogFile>(
        new LogFile(std::fopen(path_.c_str(), mode))));
  }
  ~InstalledLogFile() { SetLogFile(boost::shared_ptr<LogFile>()); }
  std::string Text() const { return Testing::ReadFileBytes(path_); }

 private:
  TempDir dir_;
  std::string path_;
};

int SecondsOfDay(const SYSTEMTIME& time) {
  return time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

TEST(LogTest, ErrorLineCarriesLabelLocalTimeContextAndMessage) {
  StderrCapture stderrCapture;
  SYSTEMTIME before;
  ::GetLocalTime(&before);
  LogPrintf(ERROR, kContext, "value %d", 5);
  SYSTEMTIME after;
  ::GetLocalTime(&after);

  const std::string text = stderrCapture.Text();
  std::smatch match;
  ASSERT_TRUE(std::regex_match(
      text, match,
      std::regex(R"(\(  ERROR\)\[(\d\d):(\d\d):(\d\d)\.(\d\d\d)\] )"
                 R"(QARN::Test::LogTest::Op: value 5\r?\n)")))
      << text;
  const int logged = std::stoi(match[1]) * 3600 + std::stoi(match[2]) * 60 +
                     std::stoi(match[3]);
  if (SecondsOfDay(after) >= SecondsOfDay(before)) {  // not across midnight
    EXPECT_GE(logged, SecondsOfDay(before));
    EXPECT_LE(logged, SecondsOfDay(after));
  }
  EXPECT_LT(std::stoi(match[4]), 1000);
}

struct SinkCase {
  LogLevel level;
  const char* label;
  bool toStderr;
  bool toListenerAndFile;
};

// Names the test case after the level.
void PrintTo(const SinkCase& sinkCase, std::ostream* os) {
  *os << LevelLabel(sinkCase.level);
}

class LogSinkTest : public ::testing::TestWithParam<SinkCase> {};

TEST_P(LogSinkTest, LevelReachesOnlyItsSinksAndStaysCurrent) {
  const SinkCase& param = GetParam();
  StderrCapture stderrCapture;
  LogRecorder recorder;
  InstalledLogFile logFile;

  LogPrintf(param.level, kContext, "message %s", "text");

  EXPECT_EQ(CurrentLevel(), param.level);
  EXPECT_EQ(CurrentContext(), kContext);  // the pointer itself, not a copy
  const std::string line = std::string("(") + param.label +
                           ")[00:00:00.000] QARN::Test::LogTest::Op: message text";
  const auto withoutTime = [](std::string text) {
    // Standard error is a text stream: its LF becomes CR LF.
    text = std::regex_replace(text, std::regex("\r"), "");
    return std::regex_replace(text, std::regex(R"(\[\d\d:\d\d:\d\d\.\d\d\d\])"),
                              "[00:00:00.000]");
  };
  EXPECT_EQ(withoutTime(stderrCapture.Text()),
            param.toStderr ? line + "\n" : "");
  EXPECT_EQ(withoutTime(logFile.Text()),
            param.toListenerAndFile ? line + "\n" : "");
  ASSERT_EQ(recorder.Entries().size(), param.toListenerAndFile ? 1u : 0u);
  if (param.toListenerAndFile) {
    EXPECT_EQ(recorder.Entries()[0].level, param.level);
    EXPECT_EQ(recorder.Entries()[0].context, kContext);
    EXPECT_EQ(recorder.Entries()[0].message, "message text");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LogSinkTest,
    ::testing::Values(SinkCase{USER, "   USER", false, true},
                      SinkCase{ERROR, "  ERROR", true, true},
                      SinkCase{WARNING, "WARNING", false, false},
                      SinkCase{DEBUG, "  DEBUG", false, false},
                      SinkCase{VERBOSE, "VERBOSE", false, false}));

TEST(LogTest, PercentSignsInArgumentsAndTextsAreWrittenUnchanged) {
  LogRecorder recorder;
  LogPrintf(ERROR, kContext, "path %s", "C:\\100%\\%d%n%s");
  LogMessage(ERROR, kContext, "%s %n %d %%");
  ASSERT_EQ(recorder.Entries().size(), 2u);
  EXPECT_EQ(recorder.Entries()[0].message, "path C:\\100%\\%d%n%s");
  EXPECT_EQ(recorder.Entries()[1].message, "%s %n %d %%");
}

TEST(LogTest, OverlongMessageIsCutAtTheBuffer) {
  LogRecorder recorder;
  InstalledLogFile logFile;
  const std::string longText(10000, 'x');
  LogPrintf(USER, kContext, "%s", longText.c_str());
  ASSERT_EQ(recorder.Entries().size(), 1u);
  EXPECT_EQ(recorder.Entries()[0].message, std::string(kLogBufferSize - 1, 'x'));
  const std::string line = logFile.Text();
  EXPECT_EQ(line.size(), static_cast<size_t>(kLogBufferSize - 1));
  EXPECT_EQ(line.substr(0, 9), "(   USER)");
}

TEST(LogTest, LevelOutsideTheTableGetsAPlaceholderLabel) {
  InstalledLogFile logFile;
  LogMessage(static_cast<LogLevel>(-1), kContext, "odd");
  EXPECT_STREQ(LevelLabel(static_cast<LogLevel>(-1)), "???????");
  EXPECT_STREQ(LevelLabel(static_cast<LogLevel>(5)), "???????");
  EXPECT_EQ(logFile.Text().substr(0, 9), "(???????" ")");
}

TEST(LogTest, FailedFileWriteIsReportedToTheDebugger) {
  DebugOutputRecorder debugOutput;
  InstalledLogFile readOnlyLog("rb");
  LogMessage(USER, kContext, "lost");
  EXPECT_EQ(debugOutput.Messages(),
            std::vector<std::string>{"Unable to log: fprintf failed\n"});
}

TEST(LogTest, LogFileWithoutStreamWritesNothingAndReportsNothing) {
  DebugOutputRecorder debugOutput;
  LogRecorder recorder;
  SetLogFile(boost::shared_ptr<LogFile>(new LogFile(nullptr)));
  LogMessage(USER, kContext, "to the listener only");
  SetLogFile(boost::shared_ptr<LogFile>());
  EXPECT_TRUE(debugOutput.Messages().empty());
  EXPECT_EQ(recorder.Entries().size(), 1u);
}

TEST(LogTest, ErrorWithoutListenerOrFileWritesExactlyOneStderrLine) {
  StderrCapture stderrCapture;
  LogMessage(ERROR, kContext, "one");
  EXPECT_EQ(SplitLines(stderrCapture.Text()).size(), 1u);
}

}  // namespace
}  // namespace Log
}  // namespace QARN
