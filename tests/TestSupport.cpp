#include "tests/TestSupport.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>

namespace QARN {
namespace Testing {
namespace {

std::string LastErrorText(const char* what) {
  return std::string(what) + " failed with error " +
         std::to_string(::GetLastError());
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(LastErrorText(what));
}

void CheckCode(LONG code, const char* what) {
  if (code != ERROR_SUCCESS) {
    throw std::runtime_error(std::string(what) + " failed with code " +
                             std::to_string(code));
  }
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_) ::RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

TempDir::TempDir() {
  char base[MAX_PATH];
  Check(::GetTempPathA(MAX_PATH, base) != 0, "GetTempPathA");
  static unsigned counter = 0;
  for (;;) {
    path_ = std::string(base) + "qarn-test-" +
            std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(counter++) + "\\";
    if (::CreateDirectoryA(path_.c_str(), nullptr)) return;
    Check(::GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectoryA");
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  WIN32_FIND_DATAA entry;
  const HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = folder + name;
      ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(folder.c_str());
}

std::wstring LongPath(const std::string& path) {
  return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

void CreateDirectories(const std::string& path) {
  for (size_t separator = path.find('\\', 3); separator != std::string::npos;
       separator = path.find('\\', separator + 1)) {
    ::CreateDirectoryW(LongPath(path.substr(0, separator)).c_str(), nullptr);
  }
  ::CreateDirectoryW(LongPath(path).c_str(), nullptr);
  Check(::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES,
        "CreateDirectoryW");
}

void CopyFileTo(const std::string& from, const std::string& to) {
  Check(::CopyFileW(LongPath(from).c_str(), LongPath(to).c_str(), FALSE),
        ("CopyFileW to " + to).c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Check(file != nullptr, "fopen");
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  Check(std::fclose(file) == 0 && written, "fwrite");
}

std::string ReadFileBytes(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::string();
  std::string bytes;
  char block[4096];
  size_t read;
  while ((read = std::fread(block, 1, sizeof block, file)) > 0) {
    bytes.append(block, read);
  }
  std::fclose(file);
  return bytes;
}

bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  Check(length != 0 && length < MAX_PATH, "GetModuleFileNameA");
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

void SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                      DWORD type, const std::string& data) {
  RegKey key;
  CheckCode(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, key.Out(), nullptr),
            "RegCreateKeyExA");
  CheckCode(::RegSetValueExA(key.Get(), valueName.c_str(), 0, type,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
            "RegSetValueExA");
}

RegistryValueOverride::RegistryValueOverride(const std::string& keyPath,
                                             const std::string& valueName,
                                             const std::string& text)
    : RegistryValueOverride(keyPath, valueName, REG_SZ,
                            std::string(text.c_str(), text.size() + 1)) {}

RegistryValueOverride::RegistryValueOverride(const std::string& keyPath,
                                             const std::string& valueName,
                                             DWORD type,
                                             const std::string& data)
    : keyPath_(keyPath), valueName_(valueName) {
  Save();
  SetRegistryValue(keyPath, valueName, type, data);
}

RegistryValueOverride::RegistryValueOverride(const std::string& keyPath,
                                             const std::string& valueName)
    : keyPath_(keyPath), valueName_(valueName) {
  Save();
  RegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE,
                      key.Out()) == ERROR_SUCCESS) {
    ::RegDeleteValueA(key.Get(), valueName.c_str());
  }
}

void RegistryValueOverride::Save() {
  RegKey key;
  keyExisted_ = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0,
                                KEY_QUERY_VALUE, key.Out()) == ERROR_SUCCESS;
  if (!keyExisted_) return;
  DWORD size = 0;
  if (::RegQueryValueExA(key.Get(), valueName_.c_str(), nullptr, &oldType_,
                         nullptr, &size) != ERROR_SUCCESS) {
    return;
  }
  oldData_.resize(size);
  valueExisted_ =
      ::RegQueryValueExA(key.Get(), valueName_.c_str(), nullptr, &oldType_,
                         reinterpret_cast<BYTE*>(&oldData_[0]),
                         &size) == ERROR_SUCCESS;
  oldData_.resize(size);
}

RegistryValueOverride::~RegistryValueOverride() {
  if (!keyExisted_) {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath_.c_str());
    return;
  }
  if (valueExisted_) {
    SetRegistryValue(keyPath_, valueName_, oldType_, oldData_);
    return;
  }
  RegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, KEY_SET_VALUE,
                      key.Out()) == ERROR_SUCCESS) {
    ::RegDeleteValueA(key.Get(), valueName_.c_str());
  }
}

InstallationRootOverride::InstallationRootOverride(const std::string& root)
    : value_("Software\\Ombrel Studio\\QARN", "LocalRootFolder", root) {}

ScopedTestKey::ScopedTestKey() {
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKeyPath);
}

ScopedTestKey::~ScopedTestKey() {
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKeyPath);
}

LogRecorder::LogRecorder() { Log::SetLogListener(this); }

LogRecorder::~LogRecorder() { Log::SetLogListener(nullptr); }

void LogRecorder::OnLogMessage(Log::LogLevel level, const char* context,
                               const char* message) {
  entries_.push_back({level, context ? context : "", message});
}

std::vector<std::string> LogRecorder::Errors(const std::string& context) const {
  std::vector<std::string> errors;
  for (const Entry& entry : entries_) {
    if (entry.level == Log::ERROR && entry.context == context) {
      errors.push_back(entry.message);
    }
  }
  return errors;
}

StderrCapture::StderrCapture() : path_(dir_.Path() + "stderr.txt") {
  std::fflush(stderr);
  savedFd_ = ::_dup(2);
  const int fd = ::_open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC |
                                             _O_BINARY,
                         _S_IREAD | _S_IWRITE);
  Check(savedFd_ >= 0 && fd >= 0, "_open");
  ::_dup2(fd, 2);
  ::_close(fd);
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  ::_dup2(savedFd_, 2);
  ::_close(savedFd_);
}

std::string StderrCapture::Text() {
  std::fflush(stderr);
  return ReadFileBytes(path_);
}

ProcessResult RunProcess(const std::string& commandLine,
                         const std::string& currentDirectory) {
  TempDir outputDir;
  const std::string stderrPath = outputDir.Path() + "stderr.txt";
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  ProcessResult result = {};
  {
    Handle stderrFile(::CreateFileA(stderrPath.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inheritable, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(stderrFile.Get() != INVALID_HANDLE_VALUE, "CreateFileA");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = stderrFile.Get();
    startup.hStdError = stderrFile.Get();
    PROCESS_INFORMATION process = {};
    std::string writable = commandLine;
    Check(::CreateProcessA(nullptr, &writable[0], nullptr, nullptr, TRUE, 0,
                           nullptr, currentDirectory.c_str(), &startup,
                           &process),
          "CreateProcessA");
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    Check(::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0,
          "WaitForSingleObject");
    Check(::GetExitCodeProcess(process.hProcess, &result.exitCode) != 0,
          "GetExitCodeProcess");
  }
  result.stderrText = ReadFileBytes(stderrPath);
  return result;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> WaitForLines(const std::string& path, size_t lines) {
  for (int waited = 0;; waited += 50) {
    const std::string text = ReadFileBytes(path);
    size_t complete = 0;
    for (char c : text) complete += c == '\n';
    if (complete >= lines || waited >= 20000) return SplitLines(text);
    ::Sleep(50);
  }
}

}  // namespace Testing
}  // namespace QARN
