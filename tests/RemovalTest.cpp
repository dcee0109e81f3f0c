// The leftover migrator's removal, in this process, whose current directory is a folder of the test's: the pauses
// pass at once, and in them the test acts as the migrator's owner would.
#include "common/PlatformHooks.h"
#include "launcher/LeftoverRemoval.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {

constexpr char kDeleteFailed[] = "QARN::Common::LocalFileSystem::DeleteFileA: ";

struct Removal {
  const char* name;
  DWORD attributes;  // of the migrator, if there is one
  int release;       // the pause in which its owner lets it go (0: the owner never holds it)
  bool ownerDeletes;
  size_t lines;    // logged, two for each failed attempt
  DWORD pausedMs;  // how long the user waits
  DWORD left;      // the attributes of what is left
};

Common::UniqueFileHandle g_held;
const Removal* g_row;
DWORD g_pausedMs;
void WINAPI Pause(DWORD ms) {
  if ((g_pausedMs += ms) != g_row->release * 5000u) return;
  g_held.Reset();
  if (g_row->ownerDeletes) ::DeleteFileW(L"qarn_migrator.exe");
}

class RemovalTest : public InstallationTest, public ::testing::WithParamInterface<Removal> {
 protected:
  RemovalTest() { fs::current_path(Native(root_.path)); }
  ~RemovalTest() override { fs::current_path(fs::temp_directory_path()); }  // so the folder can go

  const Common::ScopedHook<decltype(&::Sleep)> pause_{Common::PlatformHooks::sleep, &Pause};
};

TEST_P(RemovalTest, RemovesTheMigratorOrGivesUp) {
  g_row = &GetParam();
  if (g_row->attributes != INVALID_FILE_ATTRIBUTES) WriteFile(root_.path + "qarn_migrator.exe", "");
  ::SetFileAttributesW(L"qarn_migrator.exe", g_row->attributes);
  if (g_row->release) {
    g_held.Reset(::CreateFileW(L"qarn_migrator.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  Launcher::RemoveLeftoverMigrator();
  g_held.Reset();
  EXPECT_EQ(log_.lines.size(), g_row->lines);
  for (const std::string& line : log_.lines) EXPECT_EQ(line.rfind(kDeleteFailed, 0), 0u);
  EXPECT_EQ(g_pausedMs, g_row->pausedMs);
  EXPECT_EQ(::GetFileAttributesW(L"qarn_migrator.exe"), g_row->left);
}

constexpr DWORD kGone = INVALID_FILE_ATTRIBUTES, kHiddenArchive = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
INSTANTIATE_TEST_SUITE_P(
    Migrators, RemovalTest,
    ::testing::Values(
        Removal{"Absent", kGone, 0, false, 0, 0, kGone},
        Removal{"Removable", FILE_ATTRIBUTE_NORMAL, 0, false, 0, 0, kGone},
        Removal{"ReadOnly", FILE_ATTRIBUTE_READONLY, 0, false, 1, 0, kGone},  // cleared between two deletions
        Removal{"HeldThroughout", FILE_ATTRIBUTE_READONLY | kHiddenArchive, 11, false, 20, 50000, kHiddenArchive},
        Removal{"ReleasedInTheSecondPause", FILE_ATTRIBUTE_NORMAL, 2, false, 4, 10000, kGone},
        Removal{"RemovedByItsOwner", FILE_ATTRIBUTE_NORMAL, 1, true, 2, 5000, kGone}),
    kRowName);

}  // namespace QARN::Testing
