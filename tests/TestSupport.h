// Real-platform fixtures shared by the tests: temporary folders, registry
// keys and values of the test's own, captured log output, child processes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "log/Log.h"

namespace QARN {
namespace Testing {

// A fresh folder under the temporary folder, removed with its contents on
// destruction. Path() ends with a backslash.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void RemoveTree(const std::string& path);
// ASCII paths of any length, as the platform's "\\?\" form.
std::wstring LongPath(const std::string& path);
// Creates `path` and its missing parents; paths may exceed MAX_PATH.
void CreateDirectories(const std::string& path);
// Copies a file; paths may exceed MAX_PATH.
void CopyFileTo(const std::string& from, const std::string& to);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool PathExists(const std::string& path);
// The folder of the running test program, where the programs under test are
// built too; ends with a backslash.
std::string ProgramFolder();

// A registry value under HKLM set for the test's length; the previous value
// (or its absence) comes back on destruction.
class RegistryValueOverride {
 public:
  // Sets `valueName` to a REG_SZ `text`.
  RegistryValueOverride(const std::string& keyPath, const std::string& valueName,
                        const std::string& text);
  // Sets `valueName` to raw `data` of `type`.
  RegistryValueOverride(const std::string& keyPath, const std::string& valueName,
                        DWORD type, const std::string& data);
  // Removes `valueName` for the test's length.
  RegistryValueOverride(const std::string& keyPath,
                        const std::string& valueName);
  ~RegistryValueOverride();
  RegistryValueOverride(const RegistryValueOverride&) = delete;
  RegistryValueOverride& operator=(const RegistryValueOverride&) = delete;

 private:
  void Save();

  std::string keyPath_;
  std::string valueName_;
  bool keyExisted_ = false;
  bool valueExisted_ = false;
  DWORD oldType_ = 0;
  std::string oldData_;
};

// Points the installation root at `root` and, since the root is read once
// per process, must be in place before anything reads it.
class InstallationRootOverride {
 public:
  explicit InstallationRootOverride(const std::string& root);

 private:
  RegistryValueOverride value_;
};

constexpr const char kTestKeyPath[] = "Software\\QARN Tests";

// Deletes kTestKeyPath and everything below it on construction and on
// destruction.
class ScopedTestKey {
 public:
  ScopedTestKey();
  ~ScopedTestKey();
  ScopedTestKey(const ScopedTestKey&) = delete;
  ScopedTestKey& operator=(const ScopedTestKey&) = delete;
};

// Sets raw registry data under HKLM, creating the key.
void SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                      DWORD type, const std::string& data);

// Collects what the log's listener receives while it lives.
class LogRecorder : public Log::LogListener {
 public:
  struct Entry {
    Log::LogLevel level;
    std::string context;
    std::string message;
  };
  LogRecorder();
  ~LogRecorder();
  void OnLogMessage(Log::LogLevel level, const char* context,
                    const char* message) override;
  const std::vector<Entry>& Entries() const { return entries_; }
  // The messages logged at ERROR under `context`, in order.
  std::vector<std::string> Errors(const std::string& context) const;

 private:
  std::vector<Entry> entries_;
};

// Sends the C runtime's standard error to a file while it lives.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  // What was written to standard error so far.
  std::string Text();

 private:
  TempDir dir_;
  std::string path_;
  int savedFd_;
};

struct ProcessResult {
  DWORD exitCode;
  std::string stderrText;
};

// Runs `commandLine` in `currentDirectory` with standard error sent to a
// file, waits for it (at most a minute) and returns its exit code and what it
// wrote to standard error.
ProcessResult RunProcess(const std::string& commandLine,
                         const std::string& currentDirectory);

// Waits until `path` holds at least `lines` complete lines (at most 20 s) and
// returns its lines; fewer when it times out.
std::vector<std::string> WaitForLines(const std::string& path, size_t lines);

// Splits `text` into lines, dropping the CR of CR LF and the last empty line.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace Testing
}  // namespace QARN
