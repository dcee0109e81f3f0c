#include "launcher/LeftoverRemoval.h"

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Launcher {
namespace {

// Runs the removal in a temporary current directory and records the pauses
// it asks for instead of sleeping through them.
class LeftoverRemovalTest : public ::testing::Test {
 protected:
  LeftoverRemovalTest() : root_(dir_.Path() + "root") {
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    previousDirectory_ = previous;
    work_ = dir_.Path() + "work\\";
    Testing::CreateDirectories(work_);
    ::SetCurrentDirectoryA(work_.c_str());
    pauses().clear();
    onPause() = nullptr;
  }
  ~LeftoverRemovalTest() override {
    ::SetCurrentDirectoryA(previousDirectory_.c_str());
    if (lock_ != INVALID_HANDLE_VALUE) ::CloseHandle(lock_);
  }

  static std::vector<unsigned long>& pauses() {
    static std::vector<unsigned long> recorded;
    return recorded;
  }
  // Called at each pause with the number of pauses so far.
  static void (*&onPause())(size_t) {
    static void (*callback)(size_t) = nullptr;
    return callback;
  }
  static void RecordPause(unsigned long milliseconds) {
    pauses().push_back(milliseconds);
    if (onPause()) onPause()(pauses().size());
  }

  std::string Migrator() const { return work_ + kLeftoverMigratorName; }
  void CreateMigrator() { Testing::WriteFileBytes(Migrator(), "MZ"); }
  void LockMigrator() {
    lock_ = ::CreateFileA(Migrator().c_str(), GENERIC_READ, FILE_SHARE_READ,
                          nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock_, INVALID_HANDLE_VALUE);
  }

  Testing::TempDir dir_;
  Testing::InstallationRootOverride root_;
  Testing::LogRecorder log_;
  std::string work_;
  std::string previousDirectory_;
  static inline HANDLE lock_ = INVALID_HANDLE_VALUE;
};

TEST_F(LeftoverRemovalTest, AbsentMigratorNeedsNoAttempt) {
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_TRUE(pauses().empty());
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(LeftoverRemovalTest, RemovableMigratorGoesAtTheFirstAttempt) {
  CreateMigrator();
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_FALSE(Testing::PathExists(Migrator()));
  EXPECT_TRUE(pauses().empty());
}

TEST_F(LeftoverRemovalTest, ReadOnlyMigratorGoesAtTheFirstAttempt) {
  CreateMigrator();
  ASSERT_TRUE(::SetFileAttributesA(Migrator().c_str(), FILE_ATTRIBUTE_READONLY));
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_FALSE(Testing::PathExists(Migrator()));
  EXPECT_TRUE(pauses().empty());
}

TEST_F(LeftoverRemovalTest, LockedMigratorIsTriedTenTimesWithAPauseAfterEach) {
  CreateMigrator();
  LockMigrator();
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_TRUE(Testing::PathExists(Migrator()));
  EXPECT_EQ(pauses(), std::vector<unsigned long>(10, 5000));
  EXPECT_EQ(log_.Errors("QARN::Common::LocalFileSystem::DeleteFileA").size(),
            20u);  // two attempts within each of the ten calls
}

TEST_F(LeftoverRemovalTest, FolderOfThatNameIsTriedTenTimes) {
  ASSERT_TRUE(::CreateDirectoryA(Migrator().c_str(), nullptr));
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_EQ(pauses().size(), 10u);
}

TEST_F(LeftoverRemovalTest, MigratorReleasedAfterThreePausesGoesAtTheFourth) {
  CreateMigrator();
  LockMigrator();
  onPause() = [](size_t count) {
    if (count == 3) {
      ::CloseHandle(lock_);
      lock_ = INVALID_HANDLE_VALUE;
    }
  };
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_FALSE(Testing::PathExists(Migrator()));
  EXPECT_EQ(pauses().size(), 3u);
}

TEST_F(LeftoverRemovalTest, MigratorOutsideTheCurrentDirectoryIsLeftAlone) {
  const std::string elsewhere = dir_.Path() + kLeftoverMigratorName;
  Testing::WriteFileBytes(elsewhere, "MZ");
  RemoveLeftoverMigrator(&RecordPause);
  EXPECT_TRUE(Testing::PathExists(elsewhere));
  EXPECT_TRUE(pauses().empty());
}

}  // namespace
}  // namespace Launcher
}  // namespace QARN
