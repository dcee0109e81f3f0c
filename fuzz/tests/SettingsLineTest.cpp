#include "common/SettingsLine.h"

#include <string>

#include "gtest/gtest.h"

namespace QARN {
namespace Common {
namespace SettingsFile {
namespace {

using Kind = SettingsLine::Kind;

SettingsLine Parse(std::string line) { return ParseSettingsLine(line); }

TEST(SettingsLineTest, SplitsAtTheFirstEqualsSignAndTrimsBothSides) {
  const SettingsLine parsed = Parse(" \t key \v= a = b \f\r\n");
  EXPECT_EQ(parsed.kind, Kind::kSetting);
  EXPECT_EQ(parsed.key, "key");
  EXPECT_EQ(parsed.value, "a = b");
}

TEST(SettingsLineTest, KeyAndValueMayBeEmpty) {
  const SettingsLine parsed = Parse("=");
  EXPECT_EQ(parsed.kind, Kind::kSetting);
  EXPECT_EQ(parsed.key, "");
  EXPECT_EQ(parsed.value, "");
}

TEST(SettingsLineTest, CommentCharactersStartCommentsAfterTrimming) {
  for (const char* line : {":a=1", ";a=1", "/a=1", "#a=1", "  #a=1", "\t/"}) {
    EXPECT_EQ(Parse(line).kind, Kind::kIgnored) << line;
  }
  EXPECT_EQ(Parse("a=#1").kind, Kind::kSetting);
}

TEST(SettingsLineTest, BlankLinesAreIgnored) {
  EXPECT_EQ(Parse("").kind, Kind::kIgnored);
  EXPECT_EQ(Parse(" \t\v\f\r\n").kind, Kind::kIgnored);
}

TEST(SettingsLineTest, ALineWithoutEqualsSignIsInvalidAndLeftTrimmed) {
  std::string line = "  no value here \r";
  const SettingsLine parsed = ParseSettingsLine(line);
  EXPECT_EQ(parsed.kind, Kind::kInvalid);
  EXPECT_EQ(line, "no value here");
  EXPECT_EQ(parsed.key, "");
  EXPECT_EQ(parsed.value, "");
}

TEST(SettingsLineTest, BytesOutsideAsciiAreNotSpace) {
  const SettingsLine parsed = Parse("\xa0key\x85=\xa0value\x85");
  EXPECT_EQ(parsed.key, "\xa0key\x85");
  EXPECT_EQ(parsed.value, "\xa0value\x85");
}

TEST(SettingsLineTest, NulIsAnOrdinaryByte) {
  const SettingsLine parsed = Parse(std::string("k\0=\0v", 5));
  EXPECT_EQ(parsed.kind, Kind::kSetting);
  EXPECT_EQ(parsed.key, std::string("k\0", 2));
  EXPECT_EQ(parsed.value, std::string("\0v", 2));
}

TEST(SettingsLineTest, TheLastLineOfAKeyWins) {
  Settings settings;
  for (const char* line : {"locale=fr_fr", "other=1", "locale = de_de"}) {
    SettingsLine parsed = Parse(line);
    StoreSetting(parsed, settings);
  }
  EXPECT_EQ(settings, (Settings{{"locale", "de_de"}, {"other", "1"}}));
}

TEST(SettingsLineTest, KeysAreCaseSensitive) {
  Settings settings;
  for (const char* line : {"Locale=fr_fr", "locale=de_de"}) {
    SettingsLine parsed = Parse(line);
    StoreSetting(parsed, settings);
  }
  EXPECT_EQ(settings.size(), 2u);
  EXPECT_EQ(settings["Locale"], "fr_fr");
}

}  // namespace
}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
