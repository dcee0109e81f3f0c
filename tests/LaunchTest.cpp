// The shipped launcher, run from installations whose two programs are probes, with a leftover migrator in its
// current directory and another, which must stay, in its own folder.
#include <algorithm>
#include <regex>

#include "launcher/LaunchPlan.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {

constexpr char kKernelBox[] = "Failed to launch QARN\\system\\qarn_user_kernel.exe";

std::string Text(HWND window, bool className = false) {
  wchar_t text[1024] = {};
  className ? ::GetClassNameW(window, text, 1024) : ::GetWindowTextW(window, text, 1024);
  return fs::path(text).u8string();
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(cwd_.path + "qarn_migrator.exe", "in use?"); }

  // The launcher as `name` in `folder`, and probes as its two programs.
  void Install(const std::string& folder, bool probes = true, const std::string& name = "ZiBLauncher.exe") {
    WriteFile(folder + "qarn_migrator.exe", "not in the current directory");
    fs::create_directories(Native(folder + "QARN\\system"));
    CopyProgram("ZiBLauncher.exe", folder + name);
    if (probes) CopyProgram("qarn_tests.exe", folder + "zib.launcher.admin.exe");
    if (probes) CopyProgram("qarn_tests.exe", folder + "QARN\\system\\qarn_user_kernel.exe");
  }

  // Runs the launcher and, when `box` is given, reads and dismisses that failure box. Returns the log lines.
  std::vector<std::string> Launch(const std::string& folder, const char* box = nullptr,
                                  const std::string& name = "ZiBLauncher.exe") {
    const auto messages = RunProgram("\"" + folder + name + "\"", cwd_.path, [&](DWORD pid) {
      if (box) ReadAndDismissBox(pid, box);
    });
    EXPECT_TRUE(Exists(folder + "qarn_migrator.exe"));
    return messages;
  }

  // Checks the box's caption, text and buttons, and that the migrator is still there while it shows; presses OK.
  void ReadAndDismissBox(DWORD pid, const std::string& text) {
    HWND box = nullptr;
    for (int wait = 0; wait < 500 && !box; ++wait, ::Sleep(20)) {
      // Dialogs, message boxes too, have this class.
      for (HWND window = nullptr; !box && (window = ::FindWindowExW(nullptr, window, L"#32770", nullptr));) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == pid && ::IsWindowVisible(window)) box = window;
      }
    }
    ASSERT_TRUE(box) << "no message box saying " << text;
    std::vector<std::string> shown;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      const std::string what = ::SendMessageW(child, STM_GETICON, 0, 0) ? "icon" : Text(child);
      if (::IsWindowVisible(child) && !what.empty()) shown.push_back(Text(child, true) + ":" + what);
    }
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"Button:OK", "Static:" + text}));
    EXPECT_EQ(Text(box), "Error");  // the platform's own caption
    EXPECT_TRUE(MigratorLeft());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }

  bool MigratorLeft() { return Exists(cwd_.path + "qarn_migrator.exe"); }

  TempDir root_, cwd_;
  // What a 32-bit process reads on 64-bit Windows, whatever an earlier run left.
  RegistryValue programW6432Dir_{kCurrentVersionKey, "ProgramW6432Dir", "C:\\Program Files"};
  RegistryValue programFilesDir_{kCurrentVersionKey, "ProgramFilesDir", "C:\\Program Files (x86)"};
};

struct Decision {
  const char* name;
  const char* parent;     // null: the test's own folder
  const char* folder;     // below the parent
  const char* values[2];  // ProgramW6432Dir, ProgramFilesDir: "~" stands for the parent; null keeps Windows' own
                          // value, "-" removes it
  bool admin;
  bool probes = true;  // else the start fails
};

class LaunchDecisionTest : public LaunchTest, public ::testing::WithParamInterface<Decision> {};

TEST_P(LaunchDecisionTest, StartsTheChosenProgramInItsFolder) {
  const Decision& row = GetParam();
  const TempDir place(row.parent ? row.parent : root_.path);
  const std::string folder = place.path + row.folder, kernelFolder = folder + "QARN\\system\\";
  std::optional<RegistryValue> values[2];
  std::vector<std::string> missing;
  for (const int i : {0, 1}) {
    const std::string name = i ? "ProgramFilesDir" : "ProgramW6432Dir";
    if (!row.values[i]) continue;
    const std::string text = row.values[i][0] == '~' ? place.path + (row.values[i] + 1) : row.values[i];
    values[i].emplace(kCurrentVersionKey, name, text == "-" ? std::nullopt : std::optional(text));
    if (text != "-") continue;
    missing.push_back(
        "QARN::Common::RegistryHelp::RegKeyValueString::RegKeyValueString: "
        "Failed to find registry value \"" +
        name + "\" (2).");
  }
  Install(folder, row.probes);
  const char* box = row.admin ? "Failed to launch zib.launcher.admin.exe" : kKernelBox;
  EXPECT_EQ(Launch(folder, row.probes ? nullptr : box), missing);
  const std::vector<std::string> record =
      row.admin ? std::vector<std::string>{"\"" + folder + "zib.launcher.admin.exe\"",
                                           folder.substr(0, folder.size() - 1), "1"}
                : std::vector<std::string>{"\"" + kernelFolder +
                                               "qarn_user_kernel.exe\" updateandrun zib_launcher "
                                               "ZiBLauncher.exe",
                                           folder + "QARN", "1"};
  if (row.probes) {
    EXPECT_EQ(ProbeRecord(row.admin ? folder : kernelFolder), record);
  }
  EXPECT_FALSE(Exists((row.admin ? kernelFolder : folder) + "probe-record.txt"));
  EXPECT_EQ(MigratorLeft(), row.admin);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchDecisionTest,
    ::testing::Values(
        Decision{"Outside", nullptr, "Games\\Play\\", {"~Program Files", "~Program Files (x86)"}, false},
        Decision{
            "UnderProgramFilesDir", nullptr, "Program Files (x86)\\Play\\", {"~Other", "~Program Files (x86)"}, true},
        Decision{"PrefixWithoutSeparator", nullptr, "Program Files (x86)\\Play\\", {"~Program Files", ""}, true},
        Decision{"CaseDiffers", nullptr, "program files\\Play\\", {"", "~Program Files"}, false},
        Decision{"BothMissing", nullptr, "Program Files\\Play\\", {"-", "-"}, false},
        Decision{"EqualToTheFolder", nullptr, "Play\\", {"", "~Play\\"}, true},
        Decision{"OneByteLonger", nullptr, "Play\\", {"~Play\\x", ""}, false},
        Decision{"AccentedFolder", nullptr, u8"Caf\u00e9\\", {"", ""}, false},
        Decision{"KernelFailsToStart", nullptr, "Play\\", {"", ""}, false, false},
        Decision{"AdminFailsToStart", nullptr, "Play\\", {"", "~Play"}, true, false},
        // Windows' own folders and values, as the launcher, a 32-bit process, sees them.
        Decision{"ProgramFilesX86", "C:\\Program Files (x86)\\", "Play\\", {}, true},
        Decision{"ProgramW6432", "C:\\Program Files\\", "Play\\", {}, true},
        Decision{"ProgramW6432Missing", "C:\\Program Files\\", "Play\\", {"-"}, false}),
    kRowName);

// Module paths come from the platform with backslashes; the cut takes a slash, or no separator at all, all the same.
TEST(LauncherFolderTest, EndsAtTheLastSeparator) {
  EXPECT_EQ(Launcher::LauncherFolder("C:/Games\\Play/ZiBLauncher.exe"), "C:/Games\\Play/");
  EXPECT_EQ(Launcher::LauncherFolder("ZiBLauncher.exe"), "ZiBLauncher.exe");
}

// The kernel's working folder, the launcher folder and four characters, must fit in 259: a cut one is never handed
// on. (Wine starts no program whose path passes 259 characters: the kernel fails at either length.)
TEST_F(LaunchTest, KernelFolderThatWouldNotFitIsNotStarted) {
  for (const std::size_t length : {255, 256}) {
    const std::string folder = root_.path + std::string(length - root_.path.size() - 1, 'f') + "\\";
    Install(folder, true, "L.e");
    WriteFile(cwd_.path + "qarn_migrator.exe", "");
    const std::string tooLong = "QARN::Launcher::RunLauncher: Path too long to start \"" + folder +
                                "QARN\\system\\qarn_user_kernel.exe\" updateandrun zib_launcher ZiBLauncher.exe in \"" +
                                folder + "QARN\".";
    EXPECT_EQ(Launch(folder, kKernelBox, "L.e"), std::vector<std::string>(length == 256, tooLong));
    EXPECT_FALSE(MigratorLeft());
  }
}

// The ANSI path of such a folder names a look-alike (the decoy "Play") or none; nothing is started or removed.
TEST_F(LaunchTest, FolderTheCodePageCannotSpellIsRefused) {
  Install(root_.path + "Play\\");
  for (const std::string name : {u8"\uff30lay\\", u8"\u0418\u0433\u0440\u0430\\"}) {
    Install(root_.path + name);
    const std::regex refused(R"(QARN::Launcher::RunLauncher: The launcher's own path ".*\\ZiBLauncher\.exe" )"
                             R"(cannot be spelt in the ANSI code page\.)");
    const auto messages = Launch(root_.path + name, "Failed to launch: the launcher's own path could not be read.");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(std::regex_match(messages[0], refused)) << messages[0];
    EXPECT_FALSE(Exists(root_.path + "Play\\QARN\\system\\probe-record.txt"));
    EXPECT_FALSE(Exists(root_.path + name + "QARN\\system\\probe-record.txt"));
    EXPECT_TRUE(MigratorLeft());
  }
}

}  // namespace QARN::Testing
