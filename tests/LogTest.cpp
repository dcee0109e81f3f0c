// The log as its readers see it: standard error (captured in a file), the listener, a log file and the debugger's
// output.
#include <cstring>
#include <regex>

#include "log/LogLine.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {
using namespace Log;

struct Sinks {
  const char* name;
  int level;
  bool toListener, toStderr;
};

class LogTest : public ::testing::TestWithParam<Sinks> {
 protected:
  LogTest() { static_cast<void>(std::freopen((dir_.path + "err").c_str(), "w", stderr)); }
  std::string Stderr() {
    std::fflush(stderr);
    return ReadFile(dir_.path + "err");
  }

  TempDir dir_;
  LogRecorder listener_;
};

TEST_P(LogTest, LevelReachesItsSinks) {
  const Sinks& row = GetParam();
  LogPrintf(static_cast<LogLevel>(row.level), "QARN::Test::Op", "%d%% \"%s\"", 100, "%s");
  // A line of standard error ends as a Windows text line does.
  const std::regex line(R"(\(  ERROR\)\[[0-2]\d:[0-5]\d:[0-5]\d\.\d{3}\] QARN::Test::Op: 100% "%s"\r\n)");
  const std::string written = Stderr();
  EXPECT_TRUE(row.toStderr ? std::regex_match(written, line) : written.empty()) << written;
  EXPECT_EQ(listener_.lines.size(), row.toListener ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Levels, LogTest,
                         ::testing::Values(Sinks{"User", USER, true, false}, Sinks{"Error", ERROR, true, true},
                                           Sinks{"Warning", WARNING, false, false}),
                         kRowName);

// A line at a time chosen, each field padded: 9:05:07.003.
TEST(LogLineTest, CarriesLabelTimeContextAndMessage) {
  char line[64];
  const char expected[] = "(  ERROR)[09:05:07.003] C: m\n";
  EXPECT_EQ(FormatLogLine(line, sizeof line, ERROR, LogTime{9, 5, 7, 3}, "C", "m"), std::strlen(expected));
  EXPECT_STREQ(line, expected);
}

TEST_F(LogTest, MessagesAreWrittenAsTheyCame) {
  LogMessage(ERROR, "QARN::Test::Op", "%s%n");               // a text, never a format
  LogPrintf(ERROR, "QARN::Test::Op", "a%lsb", L"x\u0416y");  // cut where it cannot be narrowed
  LogPrintf(ERROR, "QARN::Test::Op", "%s", std::string(5000, 'm').c_str());
  EXPECT_EQ(listener_.lines, (std::vector<std::string>{"QARN::Test::Op: %s%n", "QARN::Test::Op: axb",
                                                       "QARN::Test::Op: " + std::string(4095, 'm')}));
  EXPECT_EQ(Lines(Stderr()).back().substr(24), listener_.lines[2]);  // the whole line
}

}  // namespace QARN::Testing
