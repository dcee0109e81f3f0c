// The shipped launcher, run from installations whose two programs are probes, with a leftover migrator in its
// current directory and another, which must stay, in its own folder.
#include <algorithm>
#include <deque>
#include <map>
#include <regex>
#include <thread>

#include "common/PlatformHooks.h"
#include "launcher/Launcher.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {

// A program the launcher starts: its path, arguments and working folder, below the launcher's folder.
struct Program {
  const char *path, *arguments, *workingFolder;
};
constexpr Program kAdmin{"zib.launcher.admin.exe", "", ""}, kNothing{};
constexpr Program kKernel{"QARN\\system\\qarn_user_kernel.exe", " updateandrun zib_launcher ZiBLauncher.exe", "QARN"};

constexpr const char *kNoBox = nullptr, *kAdminBox = "Failed to launch zib.launcher.admin.exe";
constexpr char kKernelBox[] = "Failed to launch QARN\\system\\qarn_user_kernel.exe";
constexpr char kUnspellableBox[] =
    "Failed to launch: the game's path holds characters that this system's language settings cannot use. Move the game "
    "to a folder whose path has none of them, such as C:\\Games.";
constexpr char kTooLongBox[] =
    "Failed to launch: the path of the game's folder is too long. Move the game to a folder with a shorter path.";
constexpr char kUnreadableBox[] = "Failed to launch: the launcher's own path could not be read. Start the game again.";

const std::vector<std::string> kNoLog;
constexpr bool kMigratorRemoved = true, kMigratorKept = false;

// Log lines: a registry value not found; a launcher path, quoted as the log quotes it, whose folder the code page
// cannot spell; a kernel start refused because its path or working folder, in the ANSI code page, would not fit.
const std::string kRun = "QARN::Launcher::RunLauncher: ";
std::string NotFound(const std::string& value) {
  return "QARN::Common::RegistryHelp::RegKeyValueString::RegKeyValueString: Failed to find registry value \"" + value +
         "\" (2).";
}
std::string Unspelt(const std::string& quoted) {
  return kRun + "The launcher's folder in \"" + quoted + "\" cannot be spelt in the ANSI code page.";
}
std::string TooLongToStart(const std::string& folder) {
  return kRun + "Path too long to start \"" + folder + kKernel.path + "\"" + kKernel.arguments + " in \"" + folder +
         "QARN\".";
}

std::string Text(HWND window, bool className = false) {
  wchar_t text[1024] = {};
  className ? ::GetClassNameW(window, text, 1024) : ::GetWindowTextW(window, text, 1024);
  return fs::path(text).u8string();
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(cwd_.path + "qarn_migrator.exe", "in use?"); }

  // Checks and dismisses the box that process `pid` shows, if any (a visible dialog, as message boxes are, other than
  // the one dismissed, which may still show for a moment): the first must say box_, with the platform's own caption,
  // and any other fails the test, for nothing else would dismiss it.
  void DismissBox(DWORD pid) {
    HWND shown = nullptr;
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr;) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (owner == pid && window != dismissed_ && ::IsWindowVisible(window)) shown = window;
    }
    if (!shown) return;
    // Its caption, texts and buttons, these by identifier (their texts are in the user's language).
    std::vector<std::string> content{"Caption:" + Text(shown)};
    for (HWND child = ::GetWindow(shown, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      const std::string kind = Text(child, true);
      const std::string what = ::SendMessageW(child, STM_GETICON, 0, 0) ? "icon"
                               : kind == "Button"                       ? std::to_string(::GetDlgCtrlID(child))
                                                                        : Text(child);
      if (::IsWindowVisible(child) && !what.empty()) content.push_back(kind + ":" + what);
    }
    std::sort(content.begin(), content.end());
    wchar_t caption[64] = {};  // "Error" in the user's language: user32's string 2
    ::LoadStringW(::GetModuleHandleW(L"user32.dll"), 2, caption, 64);
    const std::string expected = box_ && !dismissed_ ? box_ : "(none: no box was expected)";
    EXPECT_EQ(content, (std::vector<std::string>{"Button:" + std::to_string(IDOK),
                                                 "Caption:" + fs::path(caption).u8string(), "Static:" + expected}));
    EXPECT_TRUE(MigratorLeft()) << "removed while the box showed";
    ::PostMessageW(shown, WM_COMMAND, IDOK, 0);
    dismissed_ = shown;
  }

  bool MigratorLeft() { return Exists(cwd_.path + "qarn_migrator.exe"); }

  TempDir root_, cwd_;
  const char* box_ = nullptr;  // the failure box expected
  HWND dismissed_ = nullptr;
  // What a 32-bit process reads on 64-bit Windows, whatever an earlier run left.
  RegistryValue programW6432Dir_{kCurrentVersionKey, "ProgramW6432Dir", "C:\\Program Files"};
  RegistryValue programFilesDir_{kCurrentVersionKey, "ProgramFilesDir", "C:\\Program Files (x86)"};
};

// What a run does: the program it starts (kAdmin, kKernel or kNothing), the box it shows (or kNoBox), the lines it
// logs (or kNoLog), and whether it removes the leftover migrator.
using Outcome = std::tuple<Program, const char*, std::vector<std::string>, bool>;

// A registry value that a row removes.
constexpr const char* kMissing = nullptr;

// A run of the launcher, written Row("Name").In("Games\\").X86("~Program Files").Expect(...): where the launcher lies,
// what the registry holds, and what the run does, under any code page or, after Under, under those named. In its
// texts, "~" stands for the parent folder, and "*" for as many 'f's as make the launcher's path 259 UTF-16 units.
struct Row {
  explicit Row(std::string name) : name(std::move(name)) {}
  // The folder below the parent, and the parent (the test's own folder unless given).
  Row& In(std::string path) { return folder = std::move(path), *this; }
  Row& Below(std::string path) { return parent = std::move(path), *this; }
  // ProgramW6432Dir, the 64-bit Program Files folder, and ProgramFilesDir, the x86 one, as the launcher reads them.
  Row& W64(const char* value) { return values.emplace_back("ProgramW6432Dir", value), *this; }
  Row& X86(const char* value) { return values.emplace_back("ProgramFilesDir", value), *this; }
  Row& Named(std::string file) { return launcher = std::move(file), *this; }
  // The launcher's file, below the test program's folder.
  Row& From(std::string file) { return build = std::move(file), *this; }
  // No probes: the starts fail.
  Row& WithoutPrograms() { return probes = false, *this; }
  // A probe as `program` below `path` (below the parent), where a cut of the path's bytes at the last '\' byte (in
  // code page 932 the second byte of some characters is '\'), or a best-fit spelling, would lead.
  Row& Decoy(const std::string& path, const Program& program) { return decoy = path + program.path, *this; }
  Row& Under(std::initializer_list<UINT> codePages) { return pages = codePages, *this; }
  Row& Expect(Program starts, const char* box, std::vector<std::string> log, bool removesMigrator) {
    for (const UINT page : pages) outcomes[page] = {starts, box, log, removesMigrator};
    return *this;
  }

  std::string name, parent, folder = "Play\\", launcher = "ZiBLauncher.exe", build = launcher, decoy;
  std::vector<std::pair<const char*, const char*>> values;  // the others keep Windows' own
  bool probes = true;
  std::map<UINT, Outcome> outcomes;  // by code page, 0 for any other
  std::vector<UINT> pages{0};
};

class LaunchDecisionTest : public LaunchTest, public ::testing::WithParamInterface<Row> {};

TEST_P(LaunchDecisionTest, DoesWhatTheRowExpects) {
  const Row& row = GetParam();
  const auto& [starts, box, lines, removesMigrator] = row.outcomes.at(row.outcomes.count(::GetACP()) ? ::GetACP() : 0);
  const TempDir place(row.parent.empty() ? root_.path : row.parent);
  const std::size_t unfilled = (place.path + row.folder + row.launcher).size();
  const std::string fill(unfilled < 260 ? 260 - unfilled : 0, 'f');
  const auto here = [&](const std::string& text) {  // the folder holds no '$', which a replacement takes as its own
    return std::regex_replace(std::regex_replace(text, std::regex("~"), place.path), std::regex("\\*"), fill);
  };
  const std::string folder = here("~" + row.folder), launcher = folder + here(row.launcher);
  std::deque<RegistryValue> values;  // they stay where they are made, and are restored when they go
  for (const auto& [name, value] : row.values) {
    values.emplace_back(kCurrentVersionKey, name, value ? std::optional(here(value)) : std::nullopt);
  }
  WriteFile(folder + "qarn_migrator.exe", "not in the current directory");
  CopyProgram(row.build, launcher);
  std::vector<std::string> programs, log;
  if (row.probes) programs = {folder + kAdmin.path, folder + kKernel.path};
  if (!row.decoy.empty()) programs.push_back(place.path + row.decoy);
  for (const std::string& program : programs) CopyProgram("qarn_tests.exe", program);
  for (const std::string& line : lines) log.push_back(here(line));
  box_ = box;
  EXPECT_EQ(RunProgram("\"" + launcher + "\"", cwd_.path, [this](DWORD pid) { DismissBox(pid); }), log);
  EXPECT_TRUE(dismissed_ || !box) << "no message box saying " << box;
  EXPECT_EQ(MigratorLeft(), !removesMigrator);
  EXPECT_TRUE(Exists(folder + "qarn_migrator.exe"));
  // What it started has ended, and left its record.
  std::vector<std::string> started;
  std::copy_if(programs.begin(), programs.end(), std::back_inserter(started),
               [](auto& at) { return Exists(at + ".txt"); });
  EXPECT_EQ(started, starts.path ? std::vector{folder + starts.path} : std::vector<std::string>{});
  if (starts.path) {
    // The platform gives a folder's path without its last separator.
    const std::string workingFolder =
        *starts.workingFolder ? folder + starts.workingFolder : folder.substr(0, folder.size() - 1);
    EXPECT_EQ(Lines(ReadFile(folder + starts.path + ".txt")),
              (std::vector<std::string>{"\"" + folder + starts.path + "\"" + starts.arguments, workingFolder,
                                        "1 with a window"}));
  }
}

// A row a line, and what it expects on the next.
// clang-format off
const Row kDecisions[] = {
    Row("Outside").In("Games\\Play\\").W64("~Program Files").X86("~Program Files (x86)")
        .Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved),
    Row("UnderProgramFilesDir").In("Program Files (x86)\\Play\\").W64("~Other").X86("~Program Files (x86)")
        .Expect(kAdmin, kNoBox, kNoLog, kMigratorKept),
    Row("PrefixWithoutSeparator").In("Program Files (x86)\\Play\\").W64("~Program Files")
        .Expect(kAdmin, kNoBox, kNoLog, kMigratorKept),
    Row("CaseDiffers").In("program files\\Play\\").X86("~Program Files")
        .Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved),
    Row("BothMissing").In("Program Files\\Play\\").W64(kMissing).X86(kMissing)
        .Expect(kKernel, kNoBox, {NotFound("ProgramW6432Dir"), NotFound("ProgramFilesDir")}, kMigratorRemoved),
    Row("EqualToTheFolder").X86("~Play\\").Expect(kAdmin, kNoBox, kNoLog, kMigratorKept),
    Row("OneByteLonger").W64("~Play\\x").Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved),
    Row("KernelFailsToStart").WithoutPrograms().Expect(kNothing, kKernelBox, kNoLog, kMigratorRemoved),
    Row("AdminFailsToStart").X86("~Play").WithoutPrograms().Expect(kNothing, kAdminBox, kNoLog, kMigratorKept),
    // Windows' own values, as the launcher, a 32-bit process, sees them, but for the missing 64-bit one.
    Row("ProgramW6432Missing").Below("C:\\Program Files\\").W64(kMissing)
        .Expect(kKernel, kNoBox, {NotFound("ProgramW6432Dir")}, kMigratorRemoved),
    // The launcher's path at its longest: a long file name keeps the folder short; a folder of 256 leaves no room for
    // the kernel's working folder, four characters more, which is never handed on cut. (Wine starts no program whose
    // path passes 259 characters: the kernel fails at a folder of 255, too.)
    Row("LongestPath").Named("*.e").Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved),
    Row("FolderOf255").In("*\\").Named("nn.e").Expect(kNothing, kKernelBox, kNoLog, kMigratorRemoved),
    Row("FolderOf256").In("*\\").Named("n.e").Expect(kNothing, kKernelBox, {TooLongToStart("~*\\")}, kMigratorRemoved),
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Cases, LaunchDecisionTest, ::testing::ValuesIn(kDecisions), kRowName);
// The release as players get it, signed (the signing test leaves its copy there): it runs as the unsigned one does.
INSTANTIATE_TEST_SUITE_P(SignedRelease, LaunchDecisionTest,
                         ::testing::Values(Row(kDecisions[0]).From("signed\\ZiBLauncher.exe")), kRowName);

// 140 characters of two bytes in code pages 932 and 936 (three in UTF-8), in two folders of 70 (Linux, below Wine,
// takes no name over 255 bytes): a short UTF-16 path whose ANSI spelling is too long for the kernel's start.
const std::string kLongInAnsi =
    fs::path(std::wstring(70, L'\u8868') + L'\\' + std::wstring(70, L'\u8868') + L'\\').u8string();
const std::string kLongQuoted = std::string(70, '?') + '\\' + std::string(70, '?') + "\\ZiBLauncher.exe";

// Names the ANSI code page spells with a '\' byte, or cannot spell; only the folder must be spelt. These rows also run
// under the ANSI code pages 932, 936 and 65001 (scripts/test): the launcher is named and placed as players' machines
// name and place it. (The rows above are ASCII, which each of these code pages spells alike.) Each row says what it
// expects under any code page, then under those named.
// clang-format off
const Row kSpellings[] = {
    Row("DoubleByteFileName").In("Games\\").Named(u8"\u8868.exe").Decoy(u8"Games\\\u8868", kKernel)
        .Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved),
    Row("DoubleByteFolder").In(u8"\u8868\\").Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved)
        .Under({1252}).Expect(kNothing, kUnspellableBox, {Unspelt("~?\\ZiBLauncher.exe")}, kMigratorKept),
    Row("AccentedFolder").In(u8"Caf\u00e9\\").Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved)
        .Under({932}).Expect(kNothing, kUnspellableBox, {Unspelt("~Caf?\\ZiBLauncher.exe")}, kMigratorKept),
    // Each character is spelt or not on its own: 1252 spells the accented letter, 932 the CJK one, 936 both.
    Row("MixedFolder").In(u8"Caf\u00e9\u8868\\").Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved)
        .Under({1252}).Expect(kNothing, kUnspellableBox, {Unspelt(u8"~Caf\u00e9?\\ZiBLauncher.exe")}, kMigratorKept)
        .Under({932}).Expect(kNothing, kUnspellableBox, {Unspelt(u8"~Caf?\u8868\\ZiBLauncher.exe")}, kMigratorKept),
    // Code page 1252's best fit for it is "Play", whose programs must never start.
    Row("FullwidthFolder").In(u8"\uff30lay\\").Decoy("Play\\", kKernel)
        .Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved)
        .Under({1252}).Expect(kNothing, kUnspellableBox, {Unspelt("~?lay\\ZiBLauncher.exe")}, kMigratorKept),
    // Outside the Basic Multilingual Plane: one character, a pair of UTF-16 units, which only UTF-8 spells.
    Row("SupplementaryFolder").In(u8"\U00020b9f\\").Expect(kKernel, kNoBox, kNoLog, kMigratorRemoved)
        .Under({1252, 932, 936}).Expect(kNothing, kUnspellableBox, {Unspelt("~?\\ZiBLauncher.exe")}, kMigratorKept),
    // Spelt, it is too long for the kernel's start.
    Row("LongInAnsi").In(kLongInAnsi)
        .Expect(kNothing, kKernelBox, {TooLongToStart("~" + kLongInAnsi)}, kMigratorRemoved)
        .Under({1252}).Expect(kNothing, kUnspellableBox, {Unspelt("~" + kLongQuoted)}, kMigratorKept),
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Spellings, LaunchDecisionTest, ::testing::ValuesIn(kSpellings), kRowName);

std::wstring g_modulePath;

// The platform's answer for the module path: as much of g_modulePath as fits, with the last error it sets when the
// path is cut, or, when there is none, when it cannot give one.
DWORD WINAPI GiveModulePath(HMODULE, LPWSTR buffer, DWORD size) {
  ::SetLastError(g_modulePath.empty() ? ERROR_ACCESS_DENIED : ERROR_INSUFFICIENT_BUFFER);
  return static_cast<DWORD>(g_modulePath.copy(buffer, size));
}

// A module path of 260 UTF-16 units is too long; one that the platform cannot give, or gives only cut, cannot be read.
// Wine starts no program from a path over 259 units, nor fails to give one its path: the launcher runs here, given its
// path by the hook, while another thread reads its box.
TEST_F(LaunchTest, OwnPathTooLongOrUnreadableIsRefused) {
  const std::string path = root_.path + std::string(256 - root_.path.size(), 'n') + ".exe";
  const Common::ScopedHook<decltype(&::GetModuleFileNameW)> hook(Common::PlatformHooks::getModuleFileNameW,
                                                                 &GiveModulePath);
  for (const auto& [given, box, logged] :
       {std::tuple{path, kTooLongBox,
                   "The launcher's own path \"" + path + "\" is too long: 260 characters, 259 at most."},
        {"", kUnreadableBox, "Cannot get the launcher's own path (error 5)."},
        {std::string(32768, 'p'), kUnreadableBox, "Cannot get the launcher's own path (error 122)."}}) {
    g_modulePath = Native(given).wstring();
    box_ = box;
    LogRecorder log;
    std::thread reader([this] { Poll([this] { return DismissBox(::GetCurrentProcessId()), dismissed_ != nullptr; }); });
    Launcher::RunLauncher();
    reader.join();
    EXPECT_TRUE(std::exchange(dismissed_, nullptr)) << "no message box saying " << box;
    EXPECT_EQ(log.lines, std::vector<std::string>{kRun + logged});
  }
}

}  // namespace QARN::Testing
