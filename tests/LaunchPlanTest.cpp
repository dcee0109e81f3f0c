#include "launcher/LaunchPlan.h"

#include <ostream>
#include <string>

#include "gtest/gtest.h"

namespace QARN {
namespace Launcher {
namespace {

struct FolderCase {
  const char* modulePath;
  const char* folder;
};

void PrintTo(const FolderCase& folderCase, std::ostream* os) {
  *os << folderCase.modulePath;
}

class LauncherFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(LauncherFolderTest, CutsJustAfterTheLastSeparator) {
  EXPECT_EQ(LauncherFolder(GetParam().modulePath), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LauncherFolderTest,
    ::testing::Values(
        FolderCase{"D:\\Games\\Play\\ZiBLauncher.exe", "D:\\Games\\Play\\"},
        FolderCase{"D:/Games/Play/ZiBLauncher.exe", "D:/Games/Play/"},
        FolderCase{"D:\\Games/Play\\x.exe", "D:\\Games/Play\\"},
        FolderCase{"D:/Games\\Play/x.exe", "D:/Games\\Play/"},
        FolderCase{"ZiBLauncher.exe", "ZiBLauncher.exe"},
        FolderCase{"C:\\", "C:\\"}));

struct DecisionCase {
  const char* name;
  const char* folder;
  const char* programW6432Dir;
  const char* programFilesDir;
  bool startsUserKernel;
};

void PrintTo(const DecisionCase& decisionCase, std::ostream* os) {
  *os << decisionCase.name;
}

class LaunchDecisionTest : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(LaunchDecisionTest, ChoosesTheProgram) {
  const DecisionCase& param = GetParam();
  EXPECT_EQ(PlanLaunch(param.folder, param.programW6432Dir,
                       param.programFilesDir)
                .startsUserKernel,
            param.startsUserKernel);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchDecisionTest,
    ::testing::Values(
        DecisionCase{"X86Folder", "C:\\Program Files (x86)\\Play\\", "",
                     "C:\\Program Files (x86)", false},
        DecisionCase{"PrefixWithoutSeparator",
                     "C:\\Program Files (x86)\\Play\\", "C:\\Program Files",
                     "", false},
        DecisionCase{"CaseDiffers", "c:\\program files\\Play\\", "",
                     "C:\\Program Files", true},
        DecisionCase{"SlashesDiffer", "C:/Program Files/Play/", "",
                     "C:\\Program Files", true},
        DecisionCase{"BothEmpty", "C:\\Program Files\\Play\\", "", "", true},
        DecisionCase{"EqualToFolder", "C:\\Play\\", "C:\\Play\\", "", false},
        DecisionCase{"OneByteLonger", "C:\\Play\\", "C:\\Play\\x", "", true},
        DecisionCase{"SecondTestOnly", "E:\\Apps\\Play\\", "C:\\Program Files",
                     "E:\\Apps", false},
        DecisionCase{"Elsewhere", "D:\\Games\\Play\\", "C:\\Program Files",
                     "C:\\Program Files (x86)", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LaunchPlanTest, UserKernelCommandLineAndFolder) {
  const LaunchPlan plan = PlanLaunch("D:\\Games\\Play\\", "C:\\Program Files",
                                     "C:\\Program Files (x86)");
  EXPECT_EQ(plan.commandLine,
            "\"D:\\Games\\Play\\QARN\\system\\qarn_user_kernel.exe\" "
            "updateandrun zib_launcher ZiBLauncher.exe");
  EXPECT_EQ(plan.workingFolder, "D:\\Games\\Play\\QARN");
  EXPECT_STREQ(plan.failureMessage,
               "Failed to launch QARN\\system\\qarn_user_kernel.exe");
}

TEST(LaunchPlanTest, AdminLauncherCommandLineAndFolder) {
  const LaunchPlan plan =
      PlanLaunch("C:\\Program Files\\Play\\", "C:\\Program Files", "");
  EXPECT_EQ(plan.commandLine,
            "\"C:\\Program Files\\Play\\zib.launcher.admin.exe\"");
  EXPECT_EQ(plan.workingFolder, "C:\\Program Files\\Play\\");
  EXPECT_STREQ(plan.failureMessage, "Failed to launch zib.launcher.admin.exe");
}

TEST(LaunchPlanTest, FolderWithoutSeparatorGetsNamesAppendedDirectly) {
  const LaunchPlan plan = PlanLaunch("x.exe", "", "");
  EXPECT_EQ(plan.commandLine,
            "\"x.exeQARN\\system\\qarn_user_kernel.exe\" updateandrun "
            "zib_launcher ZiBLauncher.exe");
  EXPECT_EQ(plan.workingFolder, "x.exeQARN");
}

}  // namespace
}  // namespace Launcher
}  // namespace QARN
