#include "common/SettingsLine.h"

#include <boost/algorithm/string/trim.hpp>
#include <string_view>
#include <utility>

namespace QARN {
namespace Common {
namespace SettingsFile {

namespace {

// The whitespace of the classic locale, the one this program runs in (it
// never installs another): tab, LF, VT, FF, CR and space, and no byte from
// 0x80 up. Spelt out rather than asked of a locale, which would link in the
// C++ library's locale machinery, more than half of the program's size.
bool IsClassicSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

void Trim(std::string& text) { boost::algorithm::trim_if(text, &IsClassicSpace); }

SettingsLine ParseSettingsLine(std::string& line) {
  using Kind = SettingsLine::Kind;
  Trim(line);
  constexpr std::string_view kCommentStarts = ":;/#";
  if (line.empty() || kCommentStarts.find(line.front()) != std::string_view::npos) {
    return {Kind::kIgnored, {}, {}};
  }
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return {Kind::kInvalid, {}, {}};
  SettingsLine setting{Kind::kSetting, line.substr(0, equals), line.substr(equals + 1)};
  Trim(setting.key);
  Trim(setting.value);
  return setting;
}

void StoreSetting(SettingsLine& setting, Settings& settings) { settings[setting.key] = std::move(setting.value); }

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
