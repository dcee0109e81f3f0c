// Settings files under an installation root of the test's own.
#include "common/SettingsFile.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {
using Common::SettingsFile::SettingsFile;

constexpr char kLoad[] = "QARN::Common::SettingsFile::SettingsFile::Load: ";

struct Setting {
  const char* name;
  std::string bytes, key, value;
  const char* logged = nullptr;  // the one line logged, if any
};

class SettingsTest : public InstallationTest, public ::testing::WithParamInterface<Setting> {
 protected:
  std::string File() { return root_.path + "system\\s.cfg"; }
};

TEST_P(SettingsTest, ReadsTheSetting) {
  WriteFile(File(), GetParam().bytes);
  EXPECT_EQ(SettingsFile("s.cfg").GetValue(GetParam().key), GetParam().value);
  EXPECT_EQ(log_.lines, GetParam().logged ? std::vector<std::string>{kLoad + std::string(GetParam().logged)}
                                          : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsTest,
    ::testing::Values(
        // Text mode makes CR LF one LF, so the CR left of CR CR LF must be trimmed.
        Setting{"TabsAndCarriageReturns", "\t\vkey\f=\tvalue \t\r\r\nx=1\r\n", "key", "value"},
        Setting{"EmptyValue", "key=\nkey2=x", "key", ""}, Setting{"EmptyKey", "=value", "", "value"},
        Setting{"EqualsInValue", "a=b=c", "a", "b=c"},
        Setting{"NoLineEndComment", "key = value # note", "key", "value # note"},
        Setting{"SlashInside", "dir/name=/tmp", "dir/name", "/tmp"}, Setting{"ColonComment", ":a=1", ":a", ""},
        Setting{"SemicolonComment", ";a=1", ";a", ""}, Setting{"SlashesComment", "//a=1", "//a", ""},
        Setting{"IndentedHashComment", "   # a=1", "# a", ""},
        Setting{"Invalid", " justakey \nk=v", "k", "v", "Skipping invalid line in launcher config file: justakey"},
        Setting{"LastWins", "k=1\nK=3\nk=2", "k", "2"}, Setting{"CaseSensitive", "Key=1\nkey=2", "Key", "1"},
        Setting{"ByteOrderMark", "\xEF\xBB\xBFlocale=en\n", "locale", ""},
        Setting{"NulAndHighBytes", std::string("k\0x=\xA0v\xFF\n", 8), std::string("k\0x", 3), "\xA0v\xFF"},
        Setting{"MiBLine", "k=" + std::string(1 << 20, 'v'), "k", std::string(1 << 20, 'v')}),
    kRowName);

// Files at the limit, whose last line "k=N" ends it, are read whole; one byte more, the LF that would complete that
// line, leaves it cut, and it is dropped, and each load says so. What a load read stays.
TEST_F(SettingsTest, LimitHoldsAtItsLastByte) {
  WriteFile(File(), AtTheLimit("k=1"));
  SettingsFile settings("s.cfg");
  EXPECT_EQ(settings.GetValue("k"), "1");
  WriteFile(File(), AtTheLimit("k=2", "\r\n"));  // its text fits, its bytes do not
  EXPECT_EQ(settings.Load(), S_OK);
  EXPECT_EQ(settings.GetValue("k"), "2");
  EXPECT_TRUE(log_.lines.empty());
  WriteFile(File(), AtTheLimit("k=3") + "\n");
  EXPECT_EQ(settings.Load(), S_OK);
  EXPECT_EQ(settings.Load(), S_OK);
  EXPECT_EQ(settings.GetValue("k"), "2");
  EXPECT_EQ(log_.lines,
            std::vector<std::string>(2, kLoad + ("Settings file \"" + root_.path) +
                                            "/system/s.cfg\" is larger than 16 MiB; the rest of it is ignored."));
}

TEST_F(SettingsTest, FileThatCannotBeReadIsReportedOnEveryLoad) {
  const std::string failed = kLoad + ("Failed to open settings file \"" + root_.path) + "/system/s.cfg\" for input.";
  SettingsFile settings("s.cfg");
  ASSERT_EQ(log_.lines.size(), 2u);  // the error's text, then the path
  EXPECT_EQ(log_.lines[1], failed);
  fs::create_directories(Native(File()));  // a folder in its place
  EXPECT_LT(settings.Load(), 0);
  EXPECT_EQ(log_.lines.back(), failed);
  fs::remove(Native(File()));  // a file that others write but deny reading
  WriteFile(File(), "k=v");
  Common::UniqueFileHandle other(::CreateFileW(Native(File()).c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(SettingsFile("s.cfg").GetValue("k"), "v");
  other.Reset();  // before the next opens, which denies every other
  other.Reset(::CreateFileW(Native(File()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_LT(settings.Load(), 0);
}

}  // namespace QARN::Testing
