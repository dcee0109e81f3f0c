// The real platform, for the tests: temporary folders, registry values of the
// tests' own, the log as a user reads it, programs run as a user runs them.
// Paths are UTF-8 here and UTF-16 for the platform, so that folders the ANSI
// code page cannot spell can be made and used.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/UniqueAny.h"
#include "gtest/gtest.h"
#include "log/Log.h"

namespace QARN::Testing {
namespace fs = std::filesystem;

constexpr char kQarnKey[] = "Software\\Ombrel Studio\\QARN";
constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

inline fs::path Native(const std::string& utf8) { return fs::u8path(utf8); }

// This program's path; the build puts the programs under test beside it.
inline fs::path ProgramPath() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return self;
}

// Copies a program of the build, making the folders it needs.
inline void CopyProgram(const std::string& name, const std::string& to) {
  fs::create_directories(Native(to).parent_path());
  fs::copy_file(ProgramPath().parent_path() / Native(name), Native(to), fs::copy_options::overwrite_existing);
}

// Writes `bytes` to `path`, making the folders it needs.
inline void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(Native(path).parent_path());
  std::ofstream(Native(path), std::ios::binary) << bytes;
}

// Empty when there is no such file.
inline std::string ReadFile(const std::string& path) {
  std::ifstream file(Native(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline bool Exists(const std::string& path) { return fs::exists(Native(path)); }

// Splits at LF, dropping the CR before it (Wine writes CR LF) and a last empty piece.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
  return lines;
}

// 64-bit FNV-1a: many texts compared with the expected ones as one number.
inline unsigned long long Digest(const std::string& bytes) {
  unsigned long long digest = 14695981039346656037ULL;
  for (const unsigned char byte : bytes) digest = (digest ^ byte) * 1099511628211ULL;
  return digest;
}

// Settings text of exactly the reader's limit, 16 MiB: a comment line that fills it, and `last` after `lineEnd`,
// which counts as one byte of text also when it is CR LF.
inline std::string AtTheLimit(const std::string& last, const std::string& lineEnd = "\n") {
  return std::string((16 << 20) - 1 - last.size(), '#') + lineEnd + last;
}

// A table's rows are named by their `name`, in test names and messages.
template <typename Row>
auto operator<<(std::ostream& out, const Row& row) -> decltype(out << row.name) {
  return out << row.name;
}
inline constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

// A new, empty folder (under the temporary folder unless told otherwise),
// removed with all it holds. `path` ends with a backslash.
struct TempDir {
  explicit TempDir(std::string parent = fs::temp_directory_path().u8string()) {
    static int count = 0;
    if (parent.back() != '\\') parent += '\\';
    do {  // a new one: Wine reuses process ids, and a folder may have been left behind
      path = parent + "qarn-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count) + "\\";
    } while (!fs::create_directories(Native(path)));
  }
  ~TempDir() {
    std::error_code error;
    fs::remove_all(Native(path), error);
  }
  std::string path;
};

// Sets an HKLM value (REG_SZ text, which gets its terminator, or data of
// another type; nullopt removes it) while it lives; then restores the old.
class RegistryValue {
 public:
  RegistryValue(std::string key, std::string name, const std::optional<std::string>& data, DWORD type = REG_SZ)
      : key_(std::move(key)), name_(std::move(name)) {
    char old[4096];
    DWORD size = sizeof old;
    if (!::RegGetValueA(HKEY_LOCAL_MACHINE, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &oldType_, old,
                        &size)) {
      old_.emplace(old, size);
    }
    Set(data && type == REG_SZ ? *data + '\0' : data, type);
  }
  ~RegistryValue() { Set(old_, oldType_); }

 private:
  // Removing a value that is not there is no failure.
  void Set(const std::optional<std::string>& data, DWORD type) {
    const LSTATUS status = data ? ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, key_.c_str(), name_.c_str(), type, data->data(),
                                                    static_cast<DWORD>(data->size()))
                                : ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key_.c_str(), name_.c_str());
    EXPECT_TRUE(status == ERROR_SUCCESS || !data) << key_ << "\\" << name_ << ": " << status;
  }

  std::string key_, name_;
  std::optional<std::string> old_;
  DWORD oldType_ = REG_NONE;
};

// What reaches the log's listener while it lives, as "context: message".
struct LogRecorder : Log::LogListener {
  LogRecorder() { Log::SetLogListener(this); }
  ~LogRecorder() { Log::SetLogListener(nullptr); }
  void OnLogMessage(Log::LogLevel, const char* context, const char* message) override {
    lines.push_back(std::string(context) + ": " + message);
  }
  std::vector<std::string> lines;
};

// An installation root of the test's own, whose empty locale.cfg gives a
// catalogue that logs nothing, and what the log's listener receives.
class InstallationTest : public ::testing::Test {
 protected:
  InstallationTest() { WriteFile(root_.path + "system\\locale.cfg", ""); }
  TempDir root_;
  RegistryValue installation_{kQarnKey, "LocalRootFolder", root_.path};
  LogRecorder log_;
};

// Text in the ANSI code page, as UTF-8.
inline std::string FromAnsi(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                    static_cast<int>(wide.size())));
  return fs::path(wide).u8string();
}

// How long a test waits for what a program it started should do (end, with all it started, or show a box): well
// within ctest's minute for the whole test, so that a wait that is never met fails with a message saying what it
// waited for.
constexpr DWORD kPatienceMs = 20000;

// Calls `done` every 20 ms until it holds, and once more; false when `patienceMs` pass first.
template <typename Done>
bool Poll(Done done, DWORD patienceMs = kPatienceMs) {
  const ULONGLONG deadline = ::GetTickCount64() + patienceMs;
  while (!done() && ::GetTickCount64() < deadline) ::Sleep(20);
  return done();
}

// Runs `commandLine` in `directory`, standard error to a file; while it runs, calls `whileRunning` with its process
// id every 20 ms; expects it, and the programs it starts, to have ended within kPatienceMs, it with 0 (what it started
// has then left all it leaves). Returns its log lines as "context: message" (what follows the label and the time), in
// UTF-8 as the tests' own texts.
inline std::vector<std::string> RunProgram(const std::string& commandLine, const std::string& directory,
                                           const std::function<void(DWORD)>& whileRunning = {}) {
  // Wine brings its desktop up in the first process that needs it, and takes it down once no program is left: here,
  // not in the program's job, which the desktop would otherwise keep from ever being empty.
  ::GetDesktopWindow();
  const TempDir output;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  Common::UniqueFileHandle stderrFile(::CreateFileW(Native(output.path + "err").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                    &inheritable, CREATE_ALWAYS, 0, nullptr));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = stderrFile.Get();
  PROCESS_INFORMATION info = {};
  std::wstring command = Native(commandLine).wstring();
  const auto start = [&] {  // suspended until it is in its job
    return ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                            Native(directory).c_str(), &startup, &info);
  };
  // Wine, under load, now and then fails a start with ERROR_INTERNAL_ERROR.
  for (int attempt = 1; !start() && ::GetLastError() == ERROR_INTERNAL_ERROR && attempt < 5; ++attempt) {
    ::Sleep(100);
  }
  if (!info.hProcess) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return {};
  }
  const Common::UniqueHandle process(info.hProcess), thread(info.hThread);
  // In a job of its own, which what it starts joins: once the job is empty, that has ended too.
  const Common::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  ::AssignProcessToJobObject(job.Get(), process.Get());
  ::ResumeThread(thread.Get());
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION jobInfo = {};
  EXPECT_TRUE(Poll([&] {
    if (whileRunning) whileRunning(info.dwProcessId);
    return ::QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &jobInfo, sizeof jobInfo,
                                       nullptr) &&
           jobInfo.ActiveProcesses == 0;
  })) << commandLine
      << " or what it started still ran after " << kPatienceMs / 1000 << " s";
  ::TerminateJobObject(job.Get(), 1);  // if they are still running
  DWORD exitCode = 1;
  EXPECT_TRUE(::GetExitCodeProcess(process.Get(), &exitCode) && exitCode == 0) << commandLine << ": " << exitCode;
  stderrFile.Reset();
  std::vector<std::string> messages;
  for (const std::string& line : Lines(ReadFile(output.path + "err"))) {
    messages.push_back(FromAnsi(line.substr(std::min<size_t>(24, line.size()))));
  }
  return messages;
}

}  // namespace QARN::Testing
