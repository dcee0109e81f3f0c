#include "common/LineSplitter.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace QARN {
namespace Common {
namespace SettingsFile {
namespace {

// The lines of `text` fed in pieces of `piece` bytes (0: all at once).
std::vector<std::string> Lines(const std::string& text,
                               std::size_t piece = 0) {
  std::vector<std::string> lines;
  const auto keep = [&lines](std::string& line) { lines.push_back(line); };
  LineSplitter splitter;
  if (piece == 0) piece = text.size() + 1;
  for (std::size_t offset = 0; offset < text.size(); offset += piece) {
    splitter.Feed(text.data() + offset, std::min(piece, text.size() - offset),
                  keep);
  }
  splitter.Finish(keep);
  return lines;
}

using Strings = std::vector<std::string>;

TEST(LineSplitterTest, EndsLinesAtLineFeed) {
  EXPECT_EQ(Lines("a=1\nb=2\n"), (Strings{"a=1", "b=2"}));
}

TEST(LineSplitterTest, LastLineNeedsNoLineFeed) {
  EXPECT_EQ(Lines("a=1\nb=2"), (Strings{"a=1", "b=2"}));
}

TEST(LineSplitterTest, NoLinesInAnEmptyFile) {
  EXPECT_EQ(Lines(""), Strings{});
}

TEST(LineSplitterTest, EmptyLinesBetweenLineFeedsAreLines) {
  EXPECT_EQ(Lines("\n\na\n\n"), (Strings{"", "", "a", ""}));
}

TEST(LineSplitterTest, KeepsNulAndCarriageReturn) {
  const std::string text("a\0b\r\nc", 6);
  EXPECT_EQ(Lines(text), (Strings{std::string("a\0b\r", 4), "c"}));
}

TEST(LineSplitterTest, PiecesOfAnySizeGiveTheSameLines) {
  const std::string text = "first=1\n\nsecond = two\r\n#third\nlast";
  const Strings whole = Lines(text);
  ASSERT_EQ(whole.size(), 5u);
  for (std::size_t piece = 1; piece <= text.size(); ++piece) {
    EXPECT_EQ(Lines(text, piece), whole) << "pieces of " << piece;
  }
}

TEST(LineSplitterTest, EmptyPieceChangesNothing) {
  std::vector<std::string> lines;
  const auto keep = [&lines](std::string& line) { lines.push_back(line); };
  LineSplitter splitter;
  splitter.Feed("ab", 2, keep);
  splitter.Feed(nullptr, 0, keep);
  splitter.Feed("c\n", 2, keep);
  splitter.Finish(keep);
  EXPECT_EQ(lines, Strings{"abc"});
}

TEST(LineSplitterTest, ACallerMayChangeTheLineItIsHanded) {
  std::vector<std::string> lines;
  LineSplitter splitter;
  const auto trimAndKeep = [&lines](std::string& line) {
    line.erase(0, 1);
    lines.push_back(line);
  };
  splitter.Feed("xab\nxcd", 7, trimAndKeep);
  splitter.Finish(trimAndKeep);
  EXPECT_EQ(lines, (Strings{"ab", "cd"}));
}

}  // namespace
}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
