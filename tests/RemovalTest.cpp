// The leftover migrator's removal, in this process, whose current directory
// is a folder of the test's: the pauses pass at once, and in them the test
// acts as the migrator's owner would.
#include "common/LocalFileSystem.h"
#include "common/PlatformHooks.h"
#include "launcher/LeftoverRemoval.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace {
using namespace Testing;
using Common::LocalFileSystem;

std::function<void(int)> g_onPause;  // told the pause's number
DWORD g_pausedMs;                    // how long the user waited

void WINAPI Pause(DWORD ms) {
  g_pausedMs += ms;
  if (g_onPause) g_onPause(static_cast<int>(g_pausedMs / 5000));
}

class RemovalTest : public ::testing::Test {
 protected:
  RemovalTest() {
    WriteFile(dir_.Path() + "system\\locale.cfg", "");  // a catalogue that logs nothing
    fs::current_path(Native(dir_.Path()));
    Common::PlatformHooks::sleep = &Pause;
  }
  // A migrator, held open as a kernel still running from it would hold it.
  void HeldMigrator() {
    WriteFile(dir_.Path() + "qarn_migrator.exe", "");
    held_.Reset(::CreateFileW(L"qarn_migrator.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  // Removes the migrator; returns the lines logged meanwhile.
  std::vector<std::string> Remove() {
    const LogRecorder log;
    Launcher::RemoveLeftoverMigrator();
    return log.lines;
  }

  TempDir dir_;
  RegistryValue installation_{kQarnKey, "LocalRootFolder", dir_.Path()};
  Common::UniqueHandle held_;
};

TEST_F(RemovalTest, NothingToRemoveCostsNothing) {
  EXPECT_TRUE(Remove().empty());
  EXPECT_EQ(g_pausedMs, 0u);
}

TEST_F(RemovalTest, FolderOfThatNameIsTriedTenTimesWithAPauseAfterEach) {
  fs::create_directory("qarn_migrator.exe");
  EXPECT_EQ(Remove().size(), 20u);  // two deletions an attempt
  EXPECT_EQ(g_pausedMs, 50000u);
}

TEST_F(RemovalTest, LockedMigratorGoesOnceReleased) {
  HeldMigrator();
  g_onPause = [this](int pause) { if (pause == 2) held_.Reset(); };
  EXPECT_EQ(Remove().size(), 4u);
  EXPECT_FALSE(Exists("qarn_migrator.exe"));
  EXPECT_EQ(g_pausedMs, 10000u);
}

TEST_F(RemovalTest, MigratorItsOwnerRemovesEndsTheRemoval) {
  HeldMigrator();
  g_onPause = [this](int) { held_.Reset(); ::DeleteFileW(L"qarn_migrator.exe"); };
  EXPECT_EQ(Remove().size(), 2u);
  EXPECT_EQ(g_pausedMs, 5000u);
}

TEST_F(RemovalTest, ReadOnlyMigratorGoesAtTheFirstAttempt) {
  WriteFile(dir_.Path() + "qarn_migrator.exe", "");
  ::SetFileAttributesW(L"qarn_migrator.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  const DWORD attributes = ::GetFileAttributesW(L"qarn_migrator.exe");
  EXPECT_EQ(LocalFileSystem::RemoveReadOnly("qarn_migrator.exe"), S_OK);
  EXPECT_EQ(::GetFileAttributesW(L"qarn_migrator.exe"), attributes & ~FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  ::SetFileAttributesW(L"qarn_migrator.exe", FILE_ATTRIBUTE_READONLY);
  const std::vector<std::string> lines = Remove();  // the first deletion's error only
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("QARN::Common::LocalFileSystem::DeleteFileA: ", 0), 0u);
  EXPECT_FALSE(Exists("qarn_migrator.exe"));
  EXPECT_EQ(g_pausedMs, 0u);
}

TEST_F(RemovalTest, PathNamingNothingFailsTwiceAndSaysSo) {
  const LogRecorder log;
  EXPECT_LT(LocalFileSystem::DeleteFileA("none"), 0);
  ASSERT_EQ(log.lines.size(), 3u);
  EXPECT_EQ(log.lines[1], "QARN::Common::LocalFileSystem::RemoveReadOnly: Failed on \"none\"");
  EXPECT_EQ(log.lines[0], log.lines[2]);
  EXPECT_EQ(log.lines[0].rfind("QARN::Common::LocalFileSystem::DeleteFileA: ", 0), 0u);
}

}  // namespace
}  // namespace QARN
