// A small file of key=value lines from the "system" folder under the QARN
// installation root. Read only; nothing is ever written back.
#pragma once

#include <windows.h>

#include <string>

#include "common/SettingsLine.h"

namespace QARN {
namespace Common {
namespace SettingsFile {

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
  // the file could be opened and held, whatever its lines held; otherwise a
  // negative status, logged: the failure to open it, or E_OUTOFMEMORY for a
  // file too big to hold (the settings read before it stay).
  [[nodiscard]] HRESULT Load();

  // The value stored under exactly `key` (not trimmed, case-sensitive); empty
  // when there is none.
  std::string GetValue(const std::string& key) const;

 private:
  void ResolvePath();
  HRESULT ReportTooBigToHold() const;
  void AddLine(std::string& line);

  Settings settings;
  const std::string fileName;
  std::string filePath;
};

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
