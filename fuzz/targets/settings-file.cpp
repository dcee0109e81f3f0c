// A whole settings file of any bytes: cut into lines, in one piece and in
// pieces of growing size, and read into settings as SettingsFile reads it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SettingsModel.h"
#include "common/LineSplitter.h"
#include "common/SettingsLine.h"

namespace {

using QARN::Common::SettingsFile::LineSplitter;
using QARN::Common::SettingsFile::ParseSettingsLine;
using QARN::Common::SettingsFile::Settings;
using QARN::Common::SettingsFile::SettingsLine;
using QARN::Fuzz::ModelParse;

std::vector<std::string> LinesInOnePiece(const char* bytes, std::size_t size) {
  std::vector<std::string> lines;
  const auto keep = [&lines](std::string& line) { lines.push_back(line); };
  LineSplitter splitter;
  splitter.Feed(bytes, size, keep);
  splitter.Finish(keep);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const char* const bytes = reinterpret_cast<const char*>(data);
  const std::vector<std::string> expectedLines =
      QARN::Fuzz::ModelLines(bytes, size);
  QARN_FUZZ_CHECK(LinesInOnePiece(bytes, size) == expectedLines);

  // Pieces of 1, 2, 3... bytes, so that lines and LFs straddle the joins;
  // each line is parsed and stored right in the splitter's buffer, as the
  // file reader does.
  std::vector<std::string> lines;
  Settings settings;
  const auto read = [&lines, &settings](std::string& line) {
    lines.push_back(line);
    SettingsLine parsed = ParseSettingsLine(line);
    QARN::Fuzz::CheckParsedLine(lines.back(), line, parsed);
    if (parsed.kind == SettingsLine::Kind::kSetting) {
      StoreSetting(parsed, settings);
    }
  };
  LineSplitter splitter;
  std::size_t piece = 1;
  for (std::size_t offset = 0; offset < size; offset += piece, ++piece) {
    splitter.Feed(bytes + offset, std::min(piece, size - offset), read);
  }
  splitter.Finish(read);
  QARN_FUZZ_CHECK(lines == expectedLines);

  // Read backwards, the first line of a key is the one that must have won.
  Settings expected;
  for (auto line = expectedLines.rbegin(); line != expectedLines.rend();
       ++line) {
    const QARN::Fuzz::ModelLine model = ModelParse(*line);
    if (model.kind == SettingsLine::Kind::kSetting) {
      expected.emplace(model.key, model.value);
    }
  }
  QARN_FUZZ_CHECK(settings == expected);
  return 0;
}
