// One settings line of any bytes through ParseSettingsLine.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SettingsModel.h"
#include "common/SettingsLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  std::string line = original;
  const QARN::Common::SettingsFile::SettingsLine parsed =
      QARN::Common::SettingsFile::ParseSettingsLine(line);
  QARN::Fuzz::CheckParsedLine(original, line, parsed);
  return 0;
}
