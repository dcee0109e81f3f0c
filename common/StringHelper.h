// String conversions.
#pragma once

#include <windows.h>

#include <string>

namespace QARN {
namespace Common {

class StringHelper {
 public:
  StringHelper() = delete;

  // Converts UTF-16 `input`, up to its first null character, to UTF-8.
  // Whatever `output` held is discarded: on return it holds the whole
  // converted text (true) or nothing (false, logged at ERROR).
  [[nodiscard]] static bool ConvertToMultiByte(const std::wstring& input, std::string& output);
};

}  // namespace Common
}  // namespace QARN
