// The shipped launcher, run from installations whose two programs are probes, with a leftover migrator in its
// current directory and another, which must stay, in its own folder.
#include <algorithm>
#include <deque>

#include "tests/TestSupport.h"

namespace QARN::Testing {

constexpr char kAdminName[] = "zib.launcher.admin.exe", kKernelName[] = "QARN\\system\\qarn_user_kernel.exe";
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
    if (probes) CopyProgram("qarn_tests.exe", folder + kAdminName);
    if (probes) CopyProgram("qarn_tests.exe", folder + kKernelName);
  }

  // Runs the launcher; checks and dismisses the failure box saying `box`, and fails on any other box, which nothing
  // else would dismiss. Returns the log lines.
  std::vector<std::string> Launch(const std::string& folder, const char* box = nullptr,
                                  const std::string& name = "ZiBLauncher.exe") {
    HWND dismissed = nullptr;
    const auto messages = RunProgram("\"" + folder + name + "\"", cwd_.path, [&](DWORD pid) {
      const HWND shown = FindBox(pid, dismissed);
      if (!shown) return;
      const std::vector<std::string> content = Content(shown);
      if (box && !dismissed) {
        EXPECT_EQ(content, (std::vector<std::string>{"Button:" + std::to_string(IDOK), "Static:" + std::string(box)}));
        // The platform's own caption, "Error" in the user's language: user32's string 2.
        wchar_t caption[64] = {};
        ::LoadStringW(::GetModuleHandleW(L"user32.dll"), 2, caption, 64);
        EXPECT_EQ(Text(shown), fs::path(caption).u8string());
        EXPECT_TRUE(MigratorLeft()) << "removed while the box showed";
      } else {
        ADD_FAILURE() << "unexpected box: " << ::testing::PrintToString(content);
      }
      ::PostMessageW(shown, WM_COMMAND, IDOK, 0);
      dismissed = shown;
    });
    EXPECT_TRUE(dismissed || !box) << "no message box saying " << box;
    EXPECT_TRUE(Exists(folder + "qarn_migrator.exe"));
    return messages;
  }

  // A visible dialog of the process (message boxes have that class too) other than `dismissed`, which may still show
  // for a moment; null when there is none.
  static HWND FindBox(DWORD pid, HWND dismissed) {
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr;) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (owner == pid && window != dismissed && ::IsWindowVisible(window)) return window;
    }
    return nullptr;
  }

  // What the box shows, sorted: its texts, and its buttons by identifier (their texts are in the user's language).
  static std::vector<std::string> Content(HWND box) {
    std::vector<std::string> shown;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      const std::string kind = Text(child, true);
      const std::string what = ::SendMessageW(child, STM_GETICON, 0, 0) ? "icon"
                               : kind == "Button"                       ? std::to_string(::GetDlgCtrlID(child))
                                                                        : Text(child);
      if (::IsWindowVisible(child) && !what.empty()) shown.push_back(kind + ":" + what);
    }
    std::sort(shown.begin(), shown.end());
    return shown;
  }

  bool MigratorLeft() { return Exists(cwd_.path + "qarn_migrator.exe"); }

  TempDir root_, cwd_;
  // What a 32-bit process reads on 64-bit Windows, whatever an earlier run left.
  RegistryValue programW6432Dir_{kCurrentVersionKey, "ProgramW6432Dir", "C:\\Program Files"};
  RegistryValue programFilesDir_{kCurrentVersionKey, "ProgramFilesDir", "C:\\Program Files (x86)"};
};

constexpr char kUnspellableBox[] =
    "Failed to launch: the game's path holds characters that this system's language settings cannot use. Move the game "
    "to a folder whose path has none of them, such as C:\\Games.";

// The log line of a kernel start refused because its path or working folder, in the ANSI code page, would not fit.
std::string KernelPathTooLong(const std::string& folder) {
  return "QARN::Launcher::RunLauncher: Path too long to start \"" + folder + kKernelName +
         "\" updateandrun zib_launcher ZiBLauncher.exe in \"" + folder + "QARN\".";
}

// `path` as a refusal quotes it when the code page spells nothing of it but ASCII: one '?' for each other character.
std::string QuotedInAscii(const std::string& path) {
  std::string quoted;
  for (const char byte : path) {
    if ((byte & 0xC0) != 0x80) quoted += byte & 0x80 ? '?' : byte;  // UTF-8 continuation bytes add nothing
  }
  return quoted;
}

// 140 characters of two bytes in code pages 932 and 936 (three in UTF-8), in two folders of 70 (Linux, below Wine,
// takes no name over 255 bytes): a short UTF-16 path whose ANSI spelling is too long for the kernel's start.
const std::string kLongInAnsi =
    fs::path(std::wstring(70, L'\u8868') + L'\\' + std::wstring(70, L'\u8868') + L'\\').u8string();

struct Decision {
  const char* name;
  const char* parent = nullptr;   // null: the test's own folder
  const char* folder = "Play\\";  // below the parent
  // ProgramW6432Dir (the 64-bit Program Files) and ProgramFilesDir (the x86 one, as the launcher reads it): "~" stands
  // for the parent; null keeps Windows' own value, "-" removes it
  const char* w64 = "";
  const char* x86 = "";
  bool admin = false;
  bool probes = true;  // else the start fails
  const char* launcher = "ZiBLauncher.exe";
  // Below the parent, where a cut of the path's bytes at the last '\' byte (in code page 932 the second byte of some
  // characters is '\'), or a best-fit spelling, would lead: a probe of the program there is never started.
  const char* decoy = nullptr;
  UINT refusedIn[3] = {};      // the code pages that cannot spell the folder
  bool tooLongInAnsi = false;  // where it is spelt, too long for the kernel's start
};

class LaunchDecisionTest : public LaunchTest, public ::testing::WithParamInterface<Decision> {};

TEST_P(LaunchDecisionTest, StartsTheChosenProgramInItsFolder) {
  const Decision& row = GetParam();
  const TempDir place(row.parent ? row.parent : root_.path);
  const std::string folder = place.path + row.folder, admin = folder + kAdminName, kernel = folder + kKernelName;
  std::deque<RegistryValue> values;  // they stay where they are made, and are restored when they go
  std::vector<std::string> expected;
  for (const auto& [name, value] : {std::pair{"ProgramW6432Dir", row.w64}, {"ProgramFilesDir", row.x86}}) {
    if (!value) continue;
    const std::string text = value[0] == '~' ? place.path + (value + 1) : value;
    values.emplace_back(kCurrentVersionKey, name, text == "-" ? std::nullopt : std::optional(text));
    if (text != "-") continue;
    expected.push_back(
        "QARN::Common::RegistryHelp::RegKeyValueString::RegKeyValueString: Failed to find registry value \"" +
        std::string(name) + "\" (2).");
  }
  Install(folder, row.probes, row.launcher);
  const std::string decoy = place.path + (row.decoy ? row.decoy : "none\\") + (row.admin ? kAdminName : kKernelName);
  if (row.decoy) CopyProgram("qarn_tests.exe", decoy);
  const bool refused = std::count(std::begin(row.refusedIn), std::end(row.refusedIn), ::GetACP()) > 0;
  const bool tooLong = row.tooLongInAnsi && !refused, startFails = tooLong || !row.probes;
  if (refused) {
    expected = {"QARN::Launcher::RunLauncher: The launcher's folder in \"" + QuotedInAscii(folder + row.launcher) +
                "\" cannot be spelt in the ANSI code page."};
  }
  if (tooLong) expected = {KernelPathTooLong(folder)};
  const char* failed = row.admin ? "Failed to launch zib.launcher.admin.exe" : kKernelBox;
  EXPECT_EQ(Launch(folder, refused ? kUnspellableBox : startFails ? failed : nullptr, row.launcher), expected);
  const std::string started = refused || startFails ? "" : row.admin ? admin : kernel;
  if (!started.empty()) {
    const std::string arguments = row.admin ? "" : " updateandrun zib_launcher ZiBLauncher.exe";
    const std::string workingFolder = row.admin ? folder.substr(0, folder.size() - 1) : folder + "QARN";
    EXPECT_EQ(Lines(ReadFile(started + ".txt")),
              (std::vector<std::string>{"\"" + started + "\"" + arguments, workingFolder, "1 with a window"}));
  }
  for (const std::string& program : {admin, kernel, decoy}) {
    if (program != started) {
      EXPECT_FALSE(Exists(program + ".txt")) << program << " was started";
    }
  }
  EXPECT_EQ(MigratorLeft(), row.admin || refused);
}

const Decision kDecisions[] = {
    {.name = "Outside", .folder = "Games\\Play\\", .w64 = "~Program Files", .x86 = "~Program Files (x86)"},
    {.name = "UnderProgramFilesDir",
     .folder = "Program Files (x86)\\Play\\",
     .w64 = "~Other",
     .x86 = "~Program Files (x86)",
     .admin = true},
    {.name = "PrefixWithoutSeparator", .folder = "Program Files (x86)\\Play\\", .w64 = "~Program Files", .admin = true},
    {.name = "CaseDiffers", .folder = "program files\\Play\\", .x86 = "~Program Files"},
    {.name = "BothMissing", .folder = "Program Files\\Play\\", .w64 = "-", .x86 = "-"},
    {.name = "EqualToTheFolder", .x86 = "~Play\\", .admin = true},
    {.name = "OneByteLonger", .w64 = "~Play\\x"},
    {.name = "KernelFailsToStart", .probes = false},
    {.name = "AdminFailsToStart", .x86 = "~Play", .admin = true, .probes = false},
    // Windows' own values, as the launcher, a 32-bit process, sees them, but for the missing 64-bit one.
    {.name = "ProgramW6432Missing", .parent = "C:\\Program Files\\", .w64 = "-", .x86 = nullptr},
};
INSTANTIATE_TEST_SUITE_P(Cases, LaunchDecisionTest, ::testing::ValuesIn(kDecisions), kRowName);

// Names the ANSI code page spells with a '\' byte, or cannot spell; only the folder must be spelt. These rows also run
// under the ANSI code pages 932, 936 and 65001 (scripts/test): the launcher is named and placed as players' machines
// name and place it. (The rows above are ASCII, which each of these code pages spells alike.)
const Decision kSpellings[] = {
    {.name = "DoubleByteFileName", .folder = "Games\\", .launcher = u8"\u8868.exe", .decoy = u8"Games\\\u8868"},
    {.name = "DoubleByteFolder", .folder = u8"\u8868\\", .refusedIn = {1252}},
    {.name = "AccentedFolder", .folder = u8"Caf\u00e9\\", .refusedIn = {932}},
    // Code page 1252's best fit for it is "Play", whose programs must never start.
    {.name = "FullwidthFolder", .folder = u8"\uff30lay\\", .decoy = "Play\\", .refusedIn = {1252}},
    // Outside the Basic Multilingual Plane: one character, a pair of UTF-16 units, which only UTF-8 spells.
    {.name = "SupplementaryFolder", .folder = u8"\U00020b9f\\", .refusedIn = {1252, 932, 936}},
    {.name = "LongInAnsi", .folder = kLongInAnsi.c_str(), .refusedIn = {1252}, .tooLongInAnsi = true},
};
INSTANTIATE_TEST_SUITE_P(Spellings, LaunchDecisionTest, ::testing::ValuesIn(kSpellings), kRowName);

// The kernel's working folder, the launcher folder and four characters, must fit in 259: a cut one is never handed
// on. (Wine starts no program whose path passes 259 characters: the kernel fails at either length.)
TEST_F(LaunchTest, KernelFolderThatWouldNotFitIsNotStarted) {
  for (const std::size_t length : {255, 256}) {
    const std::string folder = root_.path + std::string(length - root_.path.size() - 1, 'f') + "\\";
    Install(folder, true, "L.e");
    WriteFile(cwd_.path + "qarn_migrator.exe", "");
    EXPECT_EQ(Launch(folder, kKernelBox, "L.e"), std::vector<std::string>(length == 256, KernelPathTooLong(folder)));
    EXPECT_FALSE(MigratorLeft());
  }
}

}  // namespace QARN::Testing
