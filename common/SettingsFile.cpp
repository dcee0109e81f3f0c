#include "common/SettingsFile.h"

#include <share.h>

#include <algorithm>
#include <cstdio>

#include "common/LineSplitter.h"
#include "common/RegKeyValueString.h"
#include "common/SettingsLine.h"
#include "common/UniqueAny.h"
#include "log/LastError.h"
#include "log/Log.h"

namespace QARN {
namespace Common {
namespace SettingsFile {
namespace {

constexpr const char kContext[] = "QARN::Common::SettingsFile::SettingsFile::Load";

// Settings files are small: one block usually holds a whole one.
constexpr std::size_t kReadBlockSize = std::size_t{64} * 1024;

// Calls `onLine` for each line of `file` (see LineSplitter) until end of file
// or a read error. False when the file goes on past kMaxSettingsFileBytes:
// the lines that end within the limit are read, and the one it cuts is dropped.
template <typename OnLine>
bool ForEachLine(std::FILE* file, OnLine onLine) {
  char block[kReadBlockSize];
  LineSplitter lines;
  std::size_t room = kMaxSettingsFileBytes;
  std::size_t read;
  while ((read = std::fread(block, 1, sizeof block, file)) > 0) {
    lines.Feed(block, std::min(read, room), onLine);
    if (read > room) return false;
    room -= read;
  }
  lines.Finish(onLine);
  return true;
}

}  // namespace

SettingsFile::SettingsFile(const std::string& fileName) : fileName(fileName) {
  // A caller that needs the outcome loads again.
  static_cast<void>(Load());
}

HRESULT SettingsFile::Load() {
  if (filePath.empty()) ResolvePath();
  // Text mode, so CR LF ends a line; other programs may read and write the
  // file meanwhile.
  const UniqueStream file(::_fsopen(filePath.c_str(), "rt", _SH_DENYNO));
  if (!file) {
    const HRESULT status = Log::Internal::LogGetLastError(kContext);
    if (status < 0) {
      Log::LogPrintf(Log::ERROR, kContext, "Failed to open settings file \"%s\" for input.", filePath.c_str());
    }
    return status;
  }
  // What lies past the limit is treated as unreadable: the settings read so
  // far stay, and the caller goes on with them.
  if (!ForEachLine(file.Get(), [this](std::string& line) { AddLine(line); })) {
    Log::LogPrintf(Log::ERROR, kContext, "Settings file \"%s\" is larger than %u MiB; the rest of it is ignored.",
                   filePath.c_str(), static_cast<unsigned>(kMaxSettingsFileBytes >> 20));
  }
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
      Log::LogPrintf(Log::ERROR, kContext, "Skipping invalid line in launcher config file: %s", line.c_str());
      return;
    case SettingsLine::Kind::kSetting:
      Log::LogPrintf(Log::VERBOSE, kContext, "Read in settings key:\"%s\" with value:\"%s\"", parsed.key.c_str(),
                     parsed.value.c_str());
      StoreSetting(parsed, settings);
      return;
  }
}

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
