// The launcher program itself, run from temporary installations whose
// administrator launcher and user kernel are probes that record how they
// were started.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace {

using Testing::ProcessResult;
using Testing::ReadFileBytes;
using Testing::RegistryValueOverride;
using Testing::TempDir;

constexpr const char kCurrentVersionKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char kKernelRelative[] = "QARN\\system\\";
constexpr const char kRecordName[] = "probe-record.txt";
constexpr const char kKernelArguments[] =
    " updateandrun zib_launcher ZiBLauncher.exe";

void CopyProgram(const std::string& name, const std::string& to) {
  Testing::CopyFileTo(Testing::ProgramFolder() + name, to);
}

class LauncherEndToEndTest : public ::testing::Test {
 protected:
  // Lays out an installation in `folder` (ending with a backslash): the
  // launcher as `launcherName` and, unless told otherwise, both probes.
  void Install(const std::string& folder, bool withProbes = true,
               const std::string& launcherName = "ZiBLauncher.exe",
               const char* launcherProgram = QARN_LAUNCHER_EXE) {
    Testing::CreateDirectories(folder + kKernelRelative);
    CopyProgram(launcherProgram, folder + launcherName);
    if (!withProbes) return;
    CopyProgram(QARN_PROBE_EXE, folder + "zib.launcher.admin.exe");
    CopyProgram(QARN_PROBE_EXE,
                folder + kKernelRelative + "qarn_user_kernel.exe");
  }

  void SetProgramFolders(const char* programW6432Dir,
                         const char* programFilesDir) {
    overrides_.clear();
    overrides_.push_back(Override("ProgramW6432Dir", programW6432Dir));
    overrides_.push_back(Override("ProgramFilesDir", programFilesDir));
  }

  ProcessResult RunLauncher(const std::string& folder,
                            const std::string& currentDirectory,
                            const std::string& launcherName = "ZiBLauncher.exe") {
    return Testing::RunProcess("\"" + folder + launcherName + "\"",
                               currentDirectory);
  }

  // The command line and current directory of the probe in `probeFolder`,
  // once it has recorded them.
  std::vector<std::string> ProbeRecord(const std::string& probeFolder) {
    return Testing::WaitForLines(probeFolder + kRecordName, 2);
  }

  TempDir root_;

  // Runs a launcher named "L.e" from a folder of `length` characters (its
  // trailing separator included) under the root. The short name keeps the
  // launcher's own path within 259 characters.
  ProcessResult RunFromFolderOfLength(size_t length, std::string* folder) {
    const std::string& root = root_.Path();
    *folder = root + std::string(length - root.size() - 1, 'f') + "\\";
    Install(*folder, /*withProbes=*/true, "L.e");
    return RunLauncher(*folder, root, "L.e");
  }

 private:
  static std::unique_ptr<RegistryValueOverride> Override(const char* name,
                                                         const char* value) {
    return value ? std::make_unique<RegistryValueOverride>(kCurrentVersionKey,
                                                           name, value)
                 : std::make_unique<RegistryValueOverride>(kCurrentVersionKey,
                                                           name);
  }

  std::vector<std::unique_ptr<RegistryValueOverride>> overrides_;
};

TEST_F(LauncherEndToEndTest, OutsideProgramFilesStartsTheUserKernel) {
  const std::string folder = root_.Path() + "Games\\Play\\";
  Install(folder);
  SetProgramFolders("C:\\Program Files", "C:\\Program Files (x86)");

  const ProcessResult run = RunLauncher(folder, root_.Path());

  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.stderrText, "");
  EXPECT_EQ(ProbeRecord(folder + kKernelRelative),
            (std::vector<std::string>{
                "\"" + folder + kKernelRelative + "qarn_user_kernel.exe\"" +
                    kKernelArguments,
                folder + "QARN"}));
  EXPECT_FALSE(Testing::PathExists(folder + kRecordName));
}

TEST_F(LauncherEndToEndTest, UnderProgramFilesStartsTheAdminLauncher) {
  const std::string programFiles = root_.Path() + "Program Files (x86)";
  const std::string folder = programFiles + "\\Play\\";
  Install(folder);
  SetProgramFolders("", programFiles.c_str());

  const ProcessResult run = RunLauncher(folder, root_.Path());

  EXPECT_EQ(run.exitCode, 0u);
  // The working folder keeps its trailing separator; the platform reports
  // the current directory without it.
  EXPECT_EQ(ProbeRecord(folder),
            (std::vector<std::string>{
                "\"" + folder + "zib.launcher.admin.exe\"",
                folder.substr(0, folder.size() - 1)}));
  EXPECT_FALSE(Testing::PathExists(folder + kKernelRelative + kRecordName));
}

// How the registry's Program Files values relate to the launcher folder
// <root>Program Files (x86)\Play\ ; "{root}" stands for the temporary root,
// "{ROOT}" for it in upper case, and null for a missing value.
struct DecisionCase {
  const char* name;
  const char* programW6432Dir;
  const char* programFilesDir;
  bool startsAdminLauncher;
};

void PrintTo(const DecisionCase& decisionCase, std::ostream* os) {
  *os << decisionCase.name;
}

class LauncherDecisionEndToEndTest
    : public LauncherEndToEndTest,
      public ::testing::WithParamInterface<DecisionCase> {
 protected:
  const char* Expand(const char* pattern) {
    if (!pattern) return nullptr;
    std::string upperRoot = root_.Path();
    std::transform(upperRoot.begin(), upperRoot.end(), upperRoot.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    std::string text = pattern;
    for (const auto& [token, value] :
         {std::pair<std::string, std::string>{"{root}", root_.Path()},
          {"{ROOT}", upperRoot}}) {
      for (size_t at; (at = text.find(token)) != std::string::npos;) {
        text.replace(at, token.size(), value);
      }
    }
    expanded_.push_back(text);
    return expanded_.back().c_str();
  }

  std::deque<std::string> expanded_;
};

TEST_P(LauncherDecisionEndToEndTest, StartsTheExpectedProgram) {
  const DecisionCase& param = GetParam();
  const std::string folder = root_.Path() + "Program Files (x86)\\Play\\";
  Install(folder);
  SetProgramFolders(Expand(param.programW6432Dir),
                    Expand(param.programFilesDir));

  EXPECT_EQ(RunLauncher(folder, root_.Path()).exitCode, 0u);

  const std::string started =
      param.startsAdminLauncher ? folder : folder + kKernelRelative;
  const std::string notStarted =
      param.startsAdminLauncher ? folder + kKernelRelative : folder;
  EXPECT_EQ(ProbeRecord(started).size(), 2u);
  EXPECT_FALSE(Testing::PathExists(notStarted + kRecordName));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LauncherDecisionEndToEndTest,
    ::testing::Values(
        DecisionCase{"ProgramFilesDirIsPrefix", "",
                     "{root}Program Files (x86)", true},
        DecisionCase{"PrefixWithoutSeparator", "{root}Program Files", "", true},
        DecisionCase{"CaseDiffers", "{ROOT}Program Files (x86)",
                     "{ROOT}Program Files (x86)", false},
        DecisionCase{"BothMissing", nullptr, nullptr, false},
        DecisionCase{"EqualToFolder", "{root}Program Files (x86)\\Play\\", "",
                     true},
        DecisionCase{"OneByteLonger", "{root}Program Files (x86)\\Play\\x", "",
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LauncherEndToEndTest, MissingRegistryValuesAreLoggedOnStandardError) {
  const std::string folder = root_.Path() + "Play\\";
  Install(folder);
  SetProgramFolders(nullptr, nullptr);

  const ProcessResult run = RunLauncher(folder, root_.Path());

  const std::vector<std::string> lines = Testing::SplitLines(run.stderrText);
  ASSERT_EQ(lines.size(), 2u) << run.stderrText;
  EXPECT_NE(lines[0].find("QARN::Common::RegistryHelp::RegKeyValueString::"
                          "RegKeyValueString: Failed to find registry value "
                          "\"ProgramW6432Dir\" (2)."),
            std::string::npos);
  EXPECT_NE(lines[1].find("\"ProgramFilesDir\" (2)."), std::string::npos);
  EXPECT_EQ(ProbeRecord(folder + kKernelRelative).size(), 2u);
}

// Under Wine without a display the failure message box returns at once; on
// Windows it would wait for the user.
TEST_F(LauncherEndToEndTest, FailedKernelStartStillExitsWithZero) {
  const std::string folder = root_.Path() + "Play\\";
  Install(folder, /*withProbes=*/false);
  SetProgramFolders("C:\\Program Files", "C:\\Program Files (x86)");
  EXPECT_EQ(RunLauncher(folder, root_.Path()).exitCode, 0u);
}

TEST_F(LauncherEndToEndTest, FailedAdminStartStillExitsWithZero) {
  const std::string folder = root_.Path() + "Apps\\Play\\";
  Install(folder, /*withProbes=*/false);
  SetProgramFolders((root_.Path() + "Apps").c_str(), "");
  EXPECT_EQ(RunLauncher(folder, root_.Path()).exitCode, 0u);
}

// A launcher folder of 256 characters leaves no room in the 260-character
// working-folder buffer for "QARN": the kernel must not be started in a cut
// folder, and the launcher says why.
TEST_F(LauncherEndToEndTest, KernelFolderTooLongIsNotStarted) {
  SetProgramFolders("C:\\Program Files", "C:\\Program Files (x86)");
  std::string folder;
  const ProcessResult run = RunFromFolderOfLength(256, &folder);

  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(run.stderrText.find("QARN::Launcher::RunLauncher: Path too long"),
            std::string::npos)
      << run.stderrText;
  ::Sleep(500);
  EXPECT_FALSE(Testing::PathExists(folder + kKernelRelative + kRecordName));
}

// The longest launcher folder whose kernel working folder still fits its
// buffer: the start goes ahead uncut (the platform itself may then refuse a
// program path beyond MAX_PATH, which is an ordinary failed start).
TEST_F(LauncherEndToEndTest, FolderOf255CharactersIsNotRefused) {
  SetProgramFolders("C:\\Program Files", "C:\\Program Files (x86)");
  std::string folder;
  const ProcessResult run = RunFromFolderOfLength(255, &folder);

  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.stderrText.find("Path too long"), std::string::npos)
      << run.stderrText;
}

// The leftover migrator, removed from the launcher's current directory after
// the user kernel's start. These runs use the launcher built with a short
// pause between removal attempts.
class LeftoverEndToEndTest : public LauncherEndToEndTest {
 protected:
  LeftoverEndToEndTest()
      : folder_(root_.Path() + "Games\\Play\\"),
        current_(root_.Path() + "Current\\"),
        migrator_(current_ + "qarn_migrator.exe"),
        installRoot_(root_.Path() + "QarnRoot"),
        rootOverride_(installRoot_) {
    Testing::CreateDirectories(current_);
    Testing::CreateDirectories(installRoot_ + "\\system");
    Testing::WriteFileBytes(installRoot_ + "\\system\\locale.cfg",
                            "locale=fr_fr\r\n");
    SetProgramFolders("C:\\Program Files", "C:\\Program Files (x86)");
  }
  ~LeftoverEndToEndTest() override { Unlock(); }

  void InstallShortPauseLauncher(bool withProbes = true) {
    Install(folder_, withProbes, "ZiBLauncher.exe",
            QARN_SHORT_PAUSE_LAUNCHER_EXE);
  }
  void LockMigrator() {
    Testing::WriteFileBytes(migrator_, "MZ");
    lock_ = ::CreateFileA(migrator_.c_str(), GENERIC_READ, FILE_SHARE_READ,
                          nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock_, INVALID_HANDLE_VALUE);
  }
  void Unlock() {
    if (lock_ != INVALID_HANDLE_VALUE) ::CloseHandle(lock_);
    lock_ = INVALID_HANDLE_VALUE;
  }
  static std::vector<std::string> DeleteFailures(const std::string& stderrText) {
    std::vector<std::string> failures;
    for (const std::string& line : Testing::SplitLines(stderrText)) {
      if (line.find("QARN::Common::LocalFileSystem::DeleteFileA: ") !=
          std::string::npos) {
        failures.push_back(line);
      }
    }
    return failures;
  }

  std::string folder_;
  std::string current_;
  std::string migrator_;
  std::string installRoot_;
  Testing::InstallationRootOverride rootOverride_;
  HANDLE lock_ = INVALID_HANDLE_VALUE;
};

// A migrator that another program still holds is removed once it lets go;
// each failed attempt is logged with its error text.
TEST_F(LeftoverEndToEndTest, LockedMigratorIsRemovedOnceReleased) {
  InstallShortPauseLauncher();
  LockMigrator();
  std::thread releaser([this] {
    ::Sleep(300);  // within the launcher's ten short pauses of 100 ms
    Unlock();
  });

  const ProcessResult run = RunLauncher(folder_, current_);
  releaser.join();

  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(Testing::PathExists(migrator_));
  const std::vector<std::string> failures = DeleteFailures(run.stderrText);
  ASSERT_GE(failures.size(), 2u) << run.stderrText;
  EXPECT_LE(failures.size(), 20u);
  EXPECT_EQ(failures[0].substr(0, 9), "(  ERROR)");
  EXPECT_EQ(ProbeRecord(folder_ + kKernelRelative)[0],
            "\"" + folder_ + kKernelRelative + "qarn_user_kernel.exe\"" +
                kKernelArguments);
}

TEST_F(LeftoverEndToEndTest, MigratorThatNeverGoesIsTriedTenTimes) {
  InstallShortPauseLauncher();
  ASSERT_TRUE(::CreateDirectoryA(migrator_.c_str(), nullptr));

  const ProcessResult run = RunLauncher(folder_, current_);

  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(Testing::PathExists(migrator_));
  EXPECT_EQ(DeleteFailures(run.stderrText).size(), 20u) << run.stderrText;
}

TEST_F(LeftoverEndToEndTest, MigratorIsRemovedAfterAFailedKernelStart) {
  InstallShortPauseLauncher(/*withProbes=*/false);
  Testing::WriteFileBytes(migrator_, "MZ");

  EXPECT_EQ(RunLauncher(folder_, current_).exitCode, 0u);
  EXPECT_FALSE(Testing::PathExists(migrator_));
}

TEST_F(LeftoverEndToEndTest, MigratorInTheLauncherFolderIsLeftAlone) {
  InstallShortPauseLauncher();
  Testing::WriteFileBytes(folder_ + "qarn_migrator.exe", "MZ");

  EXPECT_EQ(RunLauncher(folder_, current_).exitCode, 0u);
  EXPECT_TRUE(Testing::PathExists(folder_ + "qarn_migrator.exe"));
}

TEST_F(LeftoverEndToEndTest, AdminPathLeavesTheMigratorAlone) {
  SetProgramFolders(nullptr, root_.Path().c_str());
  InstallShortPauseLauncher();
  Testing::WriteFileBytes(migrator_, "MZ");

  EXPECT_EQ(RunLauncher(folder_, current_).exitCode, 0u);
  EXPECT_EQ(ProbeRecord(folder_).size(), 2u);
  EXPECT_TRUE(Testing::PathExists(migrator_));
}

}  // namespace
}  // namespace QARN
