#include "common/LocalFileSystem.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Common {
namespace {

constexpr const char kDeleteContext[] =
    "QARN::Common::LocalFileSystem::DeleteFileA";
constexpr const char kRemoveReadOnlyContext[] =
    "QARN::Common::LocalFileSystem::RemoveReadOnly";

class LocalFileSystemTest : public ::testing::Test {
 protected:
  LocalFileSystemTest()
      : root_(dir_.Path() + "root"), file_(dir_.Path() + "file.exe") {}

  std::string CreateFile(DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    Testing::WriteFileBytes(file_, "data");
    EXPECT_TRUE(::SetFileAttributesA(file_.c_str(), attributes));
    return file_;
  }

  Testing::TempDir dir_;
  // The catalogue reads locale.cfg from here when an error is resolved.
  Testing::InstallationRootOverride root_;
  Testing::LogRecorder log_;
  std::string file_;
};

TEST_F(LocalFileSystemTest, PlainFileIsDeletedAtOnce) {
  const std::string path = CreateFile();
  EXPECT_EQ(LocalFileSystem::DeleteFileA(path), S_OK);
  EXPECT_FALSE(LocalFileSystem::FileExists(path));
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(LocalFileSystemTest, ReadOnlyFileIsDeletedAtTheSecondAttempt) {
  const std::string path = CreateFile(
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(LocalFileSystem::DeleteFileA(path), S_OK);
  EXPECT_FALSE(LocalFileSystem::FileExists(path));
  // Only the first attempt's failure is written.
  const std::vector<std::string> errors = log_.Errors(kDeleteContext);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_FALSE(errors[0].empty());
  EXPECT_TRUE(log_.Errors(kRemoveReadOnlyContext).empty());
}

TEST_F(LocalFileSystemTest, RemoveReadOnlyKeepsEveryOtherAttribute) {
  const std::string path = CreateFile(
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(LocalFileSystem::RemoveReadOnly(path), S_OK);
  EXPECT_EQ(::GetFileAttributesA(path.c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(LocalFileSystem::RemoveReadOnly(path), S_OK);  // already clear
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(LocalFileSystemTest, FileHeldOpenIsNotDeleted) {
  const std::string path = CreateFile();
  const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_LT(LocalFileSystem::DeleteFileA(path), 0);
  ::CloseHandle(held);
  EXPECT_TRUE(LocalFileSystem::FileExists(path));
  EXPECT_EQ(log_.Errors(kDeleteContext).size(), 2u);
  EXPECT_TRUE(log_.Errors(kRemoveReadOnlyContext).empty());
}

TEST_F(LocalFileSystemTest, PathNamingNothing) {
  const std::string path = dir_.Path() + "absent.exe";
  EXPECT_FALSE(LocalFileSystem::FileExists(path));
  EXPECT_LT(LocalFileSystem::DeleteFileA(path), 0);
  EXPECT_EQ(log_.Errors(kDeleteContext).size(), 2u);
  EXPECT_EQ(log_.Errors(kRemoveReadOnlyContext),
            std::vector<std::string>{"Failed on \"" + path + "\""});
}

TEST_F(LocalFileSystemTest, DirectoryExistsButIsNotDeleted) {
  const std::string path = dir_.Path() + "folder";
  ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr));
  EXPECT_TRUE(LocalFileSystem::FileExists(path));
  EXPECT_LT(LocalFileSystem::DeleteFileA(path), 0);
  EXPECT_TRUE(LocalFileSystem::FileExists(path));
}

}  // namespace
}  // namespace Common
}  // namespace QARN
