// Fuzzes the settings parser on the host under AddressSanitizer and UndefinedBehaviorSanitizer, by invariants: the
// same settings whether the bytes come whole or in pieces; keys and values trimmed; no key holding '='.
#include <algorithm>
#include <cstdlib>

#include "common/LineSplitter.h"
#include "common/SettingsLine.h"

namespace {
using namespace QARN::Common::SettingsFile;

void Check(bool holds) {
  if (!holds) std::abort();
}

bool Trimmed(const std::string& text) {
  const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  return text.empty() || (!isSpace(text.front()) && !isSpace(text.back()));
}

// The settings that `size` bytes at `data` hold, fed to the splitter `piece` bytes at a time.
Settings Parse(const char* data, std::size_t size, std::size_t piece) {
  Settings settings;
  LineSplitter splitter;
  const auto onLine = [&](std::string& line) {
    SettingsLine parsed = ParseSettingsLine(line);
    if (parsed.kind == SettingsLine::Kind::kSetting) StoreSetting(parsed, settings);
  };
  for (std::size_t at = 0; at < size; at += piece) splitter.Feed(data + at, std::min(piece, size - at), onLine);
  splitter.Finish(onLine);
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const Settings whole = Parse(bytes, size, size + 1);
  Check(Parse(bytes, size, 1 + (size > 0 ? data[0] % 7 : 0)) == whole);
  for (const auto& [key, value] : whole) Check(Trimmed(key) && Trimmed(value) && key.find('=') == std::string::npos);
  return 0;
}
