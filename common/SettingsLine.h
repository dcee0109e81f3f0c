// How one line of a settings file reads. Pure text work, no platform calls.
#pragma once

#include <map>
#include <string>

namespace QARN {
namespace Common {
namespace SettingsFile {

struct SettingsLine {
  enum class Kind {
    kIgnored,  // empty after trimming, or a comment
    kInvalid,  // neither: has no '='
    kSetting,
  };
  Kind kind;
  // kSetting: the text before the first '=', then the rest, each trimmed.
  std::string key;
  std::string value;
};

// Removes tab, LF, VT, FF, CR and space from both ends of `text`.
void Trim(std::string& text);

// Trims `line` of tab, LF, VT, FF, CR and space at both ends (in place: an
// invalid line is reported in its trimmed form), then reads it: a line that
// starts with one of ":;/#" is a comment; any other must hold a '='.
SettingsLine ParseSettingsLine(std::string& line);

// Keys are ordered byte-wise on unsigned bytes, with no case folding.
using Settings = std::map<std::string, std::string>;

// Stores the value of `setting` (a kSetting line) under its key, replacing
// what an earlier line of the same key stored: the last line of a key wins.
// The value is moved out of `setting`.
void StoreSetting(SettingsLine& setting, Settings& settings);

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
