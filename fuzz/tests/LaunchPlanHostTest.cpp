// The copy into the platform's fixed buffers; the decision itself is tested
// in tests/LaunchPlanTest.cpp, which runs here too.
#include "launcher/LaunchPlan.h"

#include <cstring>
#include <string>

#include "gtest/gtest.h"

namespace QARN {
namespace Launcher {
namespace {

TEST(CopyWholeTest, CopiesATextThatLeavesRoomForTheTerminator) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_TRUE(CopyWhole(std::string("1234567"), buffer));
  EXPECT_STREQ(buffer, "1234567");
}

TEST(CopyWholeTest, RefusesATextWithNoRoomForTheTerminator) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(CopyWhole(std::string("12345678"), buffer));
  EXPECT_EQ(std::string(buffer, sizeof buffer), "xxxxxxxx");
}

TEST(CopyWholeTest, ALongFolderMakesTheUserKernelStartRefused) {
  // Fits the buffer by itself, but not once "QARN" is added to it.
  const std::string folder = std::string(kWorkingFolderSize - 5, 'a') + "\\";
  const LaunchPlan plan = PlanLaunch(folder, "", "");
  ASSERT_TRUE(plan.startsUserKernel);
  char workingFolder[kWorkingFolderSize];
  char commandLine[kCommandLineSize];
  EXPECT_FALSE(CopyWhole(plan.workingFolder, workingFolder));
  EXPECT_TRUE(CopyWhole(plan.commandLine, commandLine));
}

}  // namespace
}  // namespace Launcher
}  // namespace QARN
