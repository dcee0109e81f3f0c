#include "common/SettingsFile.h"

#include <share.h>

#include <cstdio>
#include <memory>

#include "common/LineSplitter.h"
#include "common/RegKeyValueString.h"
#include "common/SettingsLine.h"
#include "log/LastError.h"
#include "log/Log.h"

namespace QARN {
namespace Common {
namespace SettingsFile {
namespace {

constexpr const char kContext[] =
    "QARN::Common::SettingsFile::SettingsFile::Load";

struct CloseFile {
  // The file is only read, so a failure to close it loses nothing.
  void operator()(std::FILE* file) const {
    static_cast<void>(std::fclose(file));
  }
};
using OpenFile = std::unique_ptr<std::FILE, CloseFile>;

// Settings files are small: one block usually holds a whole one.
constexpr std::size_t kReadBlockSize = std::size_t{64} * 1024;

// Calls `onLine` for each line of `file` (see LineSplitter). Stops at end of
// file or at a read error.
template <typename OnLine>
void ForEachLine(std::FILE* file, OnLine onLine) {
  char block[kReadBlockSize];
  LineSplitter lines;
  std::size_t read;
  while ((read = std::fread(block, 1, sizeof block, file)) > 0) {
    lines.Feed(block, read, onLine);
  }
  lines.Finish(onLine);
}

}  // namespace

SettingsFile::SettingsFile(const std::string& fileName) : fileName(fileName) {
  Load();
}

HRESULT SettingsFile::Load() {
  if (filePath.empty()) ResolvePath();
  // Text mode, so CR LF ends a line; other programs may read and write the
  // file meanwhile.
  const OpenFile file(::_fsopen(filePath.c_str(), "rt", _SH_DENYNO));
  if (!file) {
    const HRESULT status = Log::Internal::LogGetLastError(kContext);
    if (status < 0) {
      Log::LogPrintf(Log::ERROR, kContext,
                     "Failed to open settings file \"%s\" for input.",
                     filePath.c_str());
    }
    return status;
  }
  ForEachLine(file.get(), [this](std::string& line) { AddLine(line); });
  return S_OK;
}

std::string SettingsFile::GetValue(const std::string& key) const {
  const auto found = settings.find(key);
  return found == settings.end() ? std::string() : found->second;
}

void SettingsFile::ResolvePath() {
  if (fileName.find(".cfg") == std::string::npos) {
    Log::LogPrintf(Log::WARNING, kContext,
                   "Did not find \".cfg\" in settings filename \"%s\". "
                   "Suspicious, but attempting to continue with load.",
                   fileName.c_str());
  }
  filePath = RegistryHelp::GetLocalRootFolder() + "/system/" + fileName;
}

void SettingsFile::AddLine(std::string& line) {
  SettingsLine parsed = ParseSettingsLine(line);
  switch (parsed.kind) {
    case SettingsLine::Kind::kIgnored:
      return;
    case SettingsLine::Kind::kInvalid:
      Log::LogPrintf(Log::ERROR, kContext,
                     "Skipping invalid line in launcher config file: %s",
                     line.c_str());
      return;
    case SettingsLine::Kind::kSetting:
      Log::LogPrintf(Log::VERBOSE, kContext,
                     "Read in settings key:\"%s\" with value:\"%s\"",
                     parsed.key.c_str(), parsed.value.c_str());
      StoreSetting(parsed, settings);
      return;
  }
}

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
