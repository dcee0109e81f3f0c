// The leftover migrator's removal, in this process, whose current directory is a folder of the test's: the pauses
// pass at once, and in them the test acts as the migrator's owner would.
#include "common/LocalFileSystem.h"
#include "common/PlatformHooks.h"
#include "launcher/LeftoverRemoval.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {
using Common::LocalFileSystem;

constexpr char kDeleteFailed[] = "QARN::Common::LocalFileSystem::DeleteFileA: ";

struct Removal {
  const char* name;
  DWORD attributes;  // of a migrator file; FILE_ATTRIBUTE_DIRECTORY: a folder of that name
  int release;       // the pause in which its owner lets it go (0: the owner never holds it)
  bool ownerDeletes;
  size_t lines;      // logged, two for each failed attempt
  DWORD pausedMs;    // how long the user waits
  friend std::ostream& operator<<(std::ostream& out, const Removal& row) { return out << row.name; }
};

Common::UniqueHandle g_held;
const Removal* g_row;
DWORD g_pausedMs;
void WINAPI Pause(DWORD ms) {
  g_pausedMs += ms;
  if (g_pausedMs != g_row->release * 5000u) return;
  g_held.Reset();
  if (g_row->ownerDeletes) ::DeleteFileW(L"qarn_migrator.exe");
}

class RemovalTest : public InstallationTest, public ::testing::WithParamInterface<Removal> {
 protected:
  RemovalTest() {
    fs::current_path(Native(root_.Path()));
    Common::PlatformHooks::sleep = &Pause;
  }
  ~RemovalTest() override { fs::current_path(fs::temp_directory_path()); }  // so the folder can go
};

TEST_P(RemovalTest, RemovesTheMigratorOrGivesUp) {
  g_row = &GetParam();
  if (g_row->attributes == FILE_ATTRIBUTE_DIRECTORY) fs::create_directory("qarn_migrator.exe");
  if (g_row->attributes == FILE_ATTRIBUTE_NORMAL || g_row->attributes == FILE_ATTRIBUTE_READONLY) {
    WriteFile(root_.Path() + "qarn_migrator.exe", "");
  }
  ::SetFileAttributesW(L"qarn_migrator.exe", g_row->attributes);
  if (g_row->release) g_held.Reset(::CreateFileW(L"qarn_migrator.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  Launcher::RemoveLeftoverMigrator();
  EXPECT_EQ(log_.lines.size(), g_row->lines);
  for (const std::string& line : log_.lines) EXPECT_EQ(line.rfind(kDeleteFailed, 0), 0u);
  EXPECT_EQ(g_pausedMs, g_row->pausedMs);
  EXPECT_EQ(Exists("qarn_migrator.exe"), g_row->name == std::string("Folder"));
}

INSTANTIATE_TEST_SUITE_P(Migrators, RemovalTest, ::testing::Values(
    Removal{"Absent", INVALID_FILE_ATTRIBUTES, 0, false, 0, 0},
    Removal{"Removable", FILE_ATTRIBUTE_NORMAL, 0, false, 0, 0},
    Removal{"ReadOnly", FILE_ATTRIBUTE_READONLY, 0, false, 1, 0},  // cleared between two deletions
    Removal{"Folder", FILE_ATTRIBUTE_DIRECTORY, 0, false, 20, 50000},
    Removal{"ReleasedInTheSecondPause", FILE_ATTRIBUTE_NORMAL, 2, false, 4, 10000},
    Removal{"RemovedByItsOwner", FILE_ATTRIBUTE_NORMAL, 1, true, 2, 5000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RemovalTest, ReadOnlyIsClearedAlone) {
  WriteFile(root_.Path() + "f", "");
  ::SetFileAttributesW(L"f", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  const DWORD attributes = ::GetFileAttributesW(L"f");
  EXPECT_EQ(LocalFileSystem::RemoveReadOnly("f"), S_OK);
  EXPECT_EQ(::GetFileAttributesW(L"f"), attributes & ~FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(RemovalTest, PathNamingNothingFailsTwiceAndSaysSo) {
  EXPECT_LT(LocalFileSystem::DeleteFileA("none"), 0);
  ASSERT_EQ(log_.lines.size(), 3u);
  EXPECT_EQ(log_.lines[1], "QARN::Common::LocalFileSystem::RemoveReadOnly: Failed on \"none\"");
  EXPECT_EQ(log_.lines[0], log_.lines[2]);
  EXPECT_EQ(log_.lines[0].rfind(kDeleteFailed, 0), 0u);
}

}  // namespace QARN::Testing
