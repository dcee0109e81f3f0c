// A small file of key=value lines from the "system" folder under the QARN
// installation root. Read only; nothing is ever written back.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "common/SettingsLine.h"

namespace QARN {
namespace Common {
namespace SettingsFile {

// Far above any real settings file (a few lines), and low enough to bound
// what a load holds (docs/performance.md has the peak of a launcher run).
constexpr std::size_t kMaxSettingsFileBytes = std::size_t{16} << 20;

// Lines end at LF (CR LF too). Each line is trimmed of whitespace; empty
// lines and lines starting with one of ":;/#" are skipped; any other line is
// key=value, split at the first '=', key and value trimmed again. Keys are
// case-sensitive and the last line of a key wins. Lines without '=' are
// logged and skipped.
class SettingsFile {
 public:
  // Remembers `fileName` (for example "locale.cfg") and loads the file once,
  // ignoring the outcome; call Load() again for a status.
  explicit SettingsFile(const std::string& fileName);

  // Reads the file into the settings, adding and replacing keys but never
  // removing any. The path is resolved on the first load only. Returns 0 when
  // the file could be opened, whatever its lines held; otherwise the negative
  // status of the failure to open it, logged. Only the first
  // kMaxSettingsFileBytes are read: the rest of a larger file is logged and
  // ignored, so what a load holds stays bounded.
  [[nodiscard]] HRESULT Load();

  // The value stored under exactly `key` (not trimmed, case-sensitive); empty
  // when there is none.
  std::string GetValue(const std::string& key) const;

 private:
  void ResolvePath();
  void AddLine(std::string& line);

  Settings settings;
  const std::string fileName;
  std::string filePath;
};

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
