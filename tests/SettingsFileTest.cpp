#include "common/SettingsFile.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Common {
namespace SettingsFile {
namespace {

using Testing::LogRecorder;

constexpr const char kContext[] =
    "QARN::Common::SettingsFile::SettingsFile::Load";

// An installation root of the test's own with a "system" folder.
class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest()
      : rootPath_(dir_.Path().substr(0, dir_.Path().size() - 1)),
        root_(rootPath_) {
    Testing::CreateDirectories(rootPath_ + "\\system");
    // Failures resolve their texts through the catalogue, which reads this.
    Write("locale.cfg", "locale=en_gb");
  }
  // The path SettingsFile resolves for `name`: the root's backslashes and
  // the forward slashes of "/system/" side by side.
  std::string PathOf(const std::string& name) const {
    return rootPath_ + "/system/" + name;
  }
  void Write(const std::string& name, const std::string& bytes) {
    Testing::WriteFileBytes(PathOf(name), bytes);
  }

  Testing::TempDir dir_;
  std::string rootPath_;
  Testing::InstallationRootOverride root_;
  LogRecorder log_;
};

struct LineCase {
  const char* name;
  std::string content;
  std::vector<std::pair<std::string, std::string>> lookups;
  std::vector<std::string> errors;
};

void PrintTo(const LineCase& lineCase, std::ostream* os) {
  *os << lineCase.name;
}

class SettingsLineTest : public SettingsFileTest,
                         public ::testing::WithParamInterface<LineCase> {};

TEST_P(SettingsLineTest, ReadsTheLines) {
  Write("test.cfg", GetParam().content);
  const SettingsFile settings("test.cfg");
  for (const auto& [key, value] : GetParam().lookups) {
    EXPECT_EQ(settings.GetValue(key), value) << "key \"" << key << "\"";
  }
  std::vector<std::string> expectedErrors;
  for (const std::string& line : GetParam().errors) {
    expectedErrors.push_back("Skipping invalid line in launcher config file: " +
                             line);
  }
  EXPECT_EQ(log_.Errors(kContext), expectedErrors);
}

const std::string kBom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsLineTest,
    ::testing::Values(
        LineCase{"Plain", "key=value", {{"key", "value"}}, {}},
        LineCase{"Blanks", "  key  =  value  ", {{"key", "value"}}, {}},
        LineCase{"EmptyValue", "key=\nother=1", {{"key", ""}, {"other", "1"}}, {}},
        LineCase{"EmptyKey", "=value", {{"", "value"}}, {}},
        LineCase{"OnlyEquals", "=\nx=1", {{"", ""}, {"x", "1"}}, {}},
        LineCase{"SplitAtFirstEquals", "a=b=c", {{"a", "b=c"}}, {}},
        LineCase{"NoEndOfLineComment", "key = value # note",
                 {{"key", "value # note"}}, {}},
        LineCase{"SlashInsideValue", "dir=/tmp", {{"dir", "/tmp"}}, {}},
        LineCase{"SlashInsideKey", "dir/name=1", {{"dir/name", "1"}}, {}},
        LineCase{"Comments",
                 "#k=1\n;k=2\n:k=3\n/k=4\n//k=5\n   # k=6\n\t;k=7",
                 {{"k", ""}, {"#k", ""}}, {}},
        LineCase{"BlankLines", " \t \n\n\t\n", {}, {}},
        LineCase{"InvalidLine", "justakey\n  justakey  \nk=v",
                 {{"k", "v"}}, {"justakey", "justakey"}},
        LineCase{"LastDuplicateWins", "k=1\nk=2", {{"k", "2"}}, {}},
        LineCase{"CaseSensitiveKeys", "Key=1\nkey=2", {{"Key", "1"}, {"key", "2"}}, {}},
        LineCase{"CrLf", "key=value \t\r\nnext=x\r\n", {{"key", "value"}, {"next", "x"}}, {}},
        LineCase{"LastLineWithoutEnd", "a=1\nb=2", {{"a", "1"}, {"b", "2"}}, {}},
        LineCase{"ByteOrderMarkBelongsToTheKey", kBom + "locale=en",
                 {{"locale", ""}, {kBom + "locale", "en"}}, {}},
        LineCase{"ByteOrderMarkBeforeHash", kBom + "#x=1", {{kBom + "#x", "1"}}, {}},
        LineCase{"LookupKeyIsNotTrimmed", " key =1", {{" key", ""}, {"key", "1"}}, {}},
        LineCase{"AllSixWhitespaceBytes", "\x0b\x0c k\x09=\x0c v\x0d\x0b",
                 {{"k", "v"}}, {}},
        LineCase{"HighBytesAreNotWhitespace", "k\xA0=\x85v\xFF",
                 {{"k\xA0", "\x85v\xFF"}}, {}},
        LineCase{"NulBytesStayInKeysAndValues",
                 std::string("k\0ey=v\0al\nx=1", 13),
                 {{std::string("k\0ey", 4), std::string("v\0al", 4)}, {"x", "1"}},
                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, MissingFileLogsTheErrorThenThePathAndLoadsNothing) {
  SettingsFile settings("missing.cfg");
  const std::vector<std::string> errors = log_.Errors(kContext);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_FALSE(errors[0].empty());
  EXPECT_EQ(errors[1], "Failed to open settings file \"" +
                           PathOf("missing.cfg") + "\" for input.");
  EXPECT_LT(settings.Load(), 0);
  EXPECT_EQ(settings.GetValue("anything"), "");
}

TEST_F(SettingsFileTest, ReloadAddsAndReplacesButNeverRemoves) {
  Write("test.cfg", "a=1\nb=2\n");
  SettingsFile settings("test.cfg");
  Write("test.cfg", "b=3\nc=4\n");
  EXPECT_EQ(settings.Load(), S_OK);
  EXPECT_EQ(settings.GetValue("a"), "1");
  EXPECT_EQ(settings.GetValue("b"), "3");
  EXPECT_EQ(settings.GetValue("c"), "4");
}

TEST_F(SettingsFileTest, NameWithoutCfgLoadsAllTheSame) {
  Write("settings.CFG", "k=upper");
  Write("settings", "k=bare");
  EXPECT_EQ(SettingsFile("settings.CFG").GetValue("k"), "upper");
  EXPECT_EQ(SettingsFile("settings").GetValue("k"), "bare");
}

TEST_F(SettingsFileTest, InvalidLineIsLoggedOnEveryLoad) {
  Write("test.cfg", "justakey\n");
  SettingsFile settings("test.cfg");
  EXPECT_EQ(settings.Load(), S_OK);
  EXPECT_EQ(log_.Errors(kContext).size(), 2u);
}

TEST_F(SettingsFileTest, OverlongInvalidLineIsLoggedCut) {
  Write("test.cfg", std::string(1 << 20, 'x') + "\nk=v\n");
  const SettingsFile settings("test.cfg");
  const std::vector<std::string> errors = log_.Errors(kContext);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].size(), 4095u);
  EXPECT_EQ(settings.GetValue("k"), "v");
}

TEST_F(SettingsFileTest, MillionLinesAreAllRead) {
  std::string content;
  content.reserve(20 << 20);
  for (int i = 0; i < 1000000; ++i) {
    content += i % 10 == 0 ? "# comment\r\n" : "key" + std::to_string(i) + " = " +
                                                    std::to_string(i) + "\r\n";
  }
  Write("big.cfg", content);
  const SettingsFile settings("big.cfg");
  EXPECT_EQ(settings.GetValue("key1"), "1");
  EXPECT_EQ(settings.GetValue("key999999"), "999999");
  EXPECT_EQ(settings.GetValue("key10"), "");  // a comment line
  EXPECT_TRUE(log_.Errors(kContext).empty());
}

TEST_F(SettingsFileTest, DirectoryInPlaceOfTheFileFailsToLoad) {
  Testing::CreateDirectories(rootPath_ + "\\system\\dir.cfg");
  SettingsFile settings("dir.cfg");
  EXPECT_LT(settings.Load(), 0);
}

TEST_F(SettingsFileTest, FileLockedAgainstReadingFailsToLoad) {
  Write("locked.cfg", "k=v");
  const HANDLE lock = ::CreateFileA(PathOf("locked.cfg").c_str(), GENERIC_READ,
                                    0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  SettingsFile settings("locked.cfg");
  EXPECT_LT(settings.Load(), 0);
  EXPECT_EQ(settings.GetValue("k"), "");
  ::CloseHandle(lock);
}

}  // namespace
}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
