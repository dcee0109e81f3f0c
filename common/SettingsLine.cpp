#include "common/SettingsLine.h"

#include <string_view>
#include <utility>

#include <boost/algorithm/string/trim.hpp>

namespace QARN {
namespace Common {
namespace SettingsFile {

SettingsLine ParseSettingsLine(std::string& line) {
  using Kind = SettingsLine::Kind;
  boost::algorithm::trim(line);
  constexpr std::string_view kCommentStarts = ":;/#";
  if (line.empty() ||
      kCommentStarts.find(line.front()) != std::string_view::npos) {
    return {Kind::kIgnored, {}, {}};
  }
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return {Kind::kInvalid, {}, {}};
  SettingsLine setting{Kind::kSetting, line.substr(0, equals),
                       line.substr(equals + 1)};
  boost::algorithm::trim(setting.key);
  boost::algorithm::trim(setting.value);
  return setting;
}

void StoreSetting(SettingsLine& setting, Settings& settings) {
  settings[setting.key] = std::move(setting.value);
}

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
