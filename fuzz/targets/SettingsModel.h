// How a settings file reads, written out again without the product's code,
// to hold the product's results against. Also the checks that hold for every
// parsed line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Check.h"
#include "common/SettingsLine.h"

namespace QARN {
namespace Fuzz {

// The bytes the trimming removes: isspace() of the classic C locale.
inline bool IsSpaceByte(char c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return true;
    default:
      return false;
  }
}

inline std::string ModelTrim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSpaceByte(text[begin])) ++begin;
  while (end > begin && IsSpaceByte(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

inline bool IsTrimmed(const std::string& text) {
  return text.empty() ||
         (!IsSpaceByte(text.front()) && !IsSpaceByte(text.back()));
}

struct ModelLine {
  Common::SettingsFile::SettingsLine::Kind kind;
  std::string trimmed;
  std::string key;
  std::string value;
};

inline ModelLine ModelParse(const std::string& line) {
  using Kind = Common::SettingsFile::SettingsLine::Kind;
  ModelLine model{Kind::kIgnored, ModelTrim(line), {}, {}};
  const std::string& text = model.trimmed;
  if (text.empty() || text[0] == ':' || text[0] == ';' || text[0] == '/' ||
      text[0] == '#') {
    return model;
  }
  std::size_t equals = 0;
  while (equals < text.size() && text[equals] != '=') ++equals;
  if (equals == text.size()) {
    model.kind = Kind::kInvalid;
    return model;
  }
  model.kind = Kind::kSetting;
  model.key = ModelTrim(std::string_view(text).substr(0, equals));
  model.value = ModelTrim(std::string_view(text).substr(equals + 1));
  return model;
}

// A whole file's bytes as lines: cut at each LF, which is dropped; the bytes
// after the last LF are a line unless there are none.
inline std::vector<std::string> ModelLines(const char* bytes,
                                           std::size_t size) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current.push_back(bytes[i]);
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// `original` is the line as read, `trimmed` the same after ParseSettingsLine
// trimmed it in place, `parsed` what ParseSettingsLine returned.
inline void CheckParsedLine(const std::string& original,
                            const std::string& trimmed,
                            const Common::SettingsFile::SettingsLine& parsed) {
  using Kind = Common::SettingsFile::SettingsLine::Kind;
  const ModelLine model = ModelParse(original);
  QARN_FUZZ_CHECK(trimmed == model.trimmed);
  QARN_FUZZ_CHECK(IsTrimmed(trimmed));
  QARN_FUZZ_CHECK(parsed.kind == model.kind);
  if (parsed.kind != Kind::kSetting) {
    // Comments, empty and invalid lines yield nothing.
    QARN_FUZZ_CHECK(parsed.key.empty() && parsed.value.empty());
    return;
  }
  QARN_FUZZ_CHECK(parsed.key == model.key);
  QARN_FUZZ_CHECK(parsed.value == model.value);
  QARN_FUZZ_CHECK(IsTrimmed(parsed.key) && IsTrimmed(parsed.value));
  QARN_FUZZ_CHECK(parsed.key.find('=') == std::string::npos);
  // The trimmed line is key, spaces, '=', spaces, value: nothing else.
  QARN_FUZZ_CHECK(trimmed.compare(0, parsed.key.size(), parsed.key) == 0);
  std::size_t at = parsed.key.size();
  while (at < trimmed.size() && IsSpaceByte(trimmed[at])) ++at;
  QARN_FUZZ_CHECK(at < trimmed.size() && trimmed[at] == '=');
  ++at;
  while (at < trimmed.size() && IsSpaceByte(trimmed[at])) ++at;
  QARN_FUZZ_CHECK(trimmed.compare(at, std::string::npos, parsed.value) == 0);
}

}  // namespace Fuzz
}  // namespace QARN
