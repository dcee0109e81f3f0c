// String conversions.
#pragma once

#include <windows.h>

#include <string>

namespace QARN {
namespace Common {

class StringHelper {
 public:
  StringHelper() = delete;

  // The platform's conversion, WideCharToMultiByte.
  using WideToMultiByteFunction = int(WINAPI*)(UINT codePage, DWORD flags,
                                               LPCWCH input, int inputLength,
                                               LPSTR output, int outputSize,
                                               LPCCH defaultChar,
                                               LPBOOL usedDefaultChar);

  // Converts UTF-16 `input`, up to its first null character, to UTF-8.
  // Whatever `output` held is discarded: on return it holds the whole
  // converted text (true) or nothing (false, logged at ERROR).
  static bool ConvertToMultiByte(const std::wstring& input,
                                 std::string& output);

  // The same through `convert` in place of the platform's function, so that
  // a failing conversion can be exercised.
  static bool ConvertToMultiByte(const std::wstring& input, std::string& output,
                                 WideToMultiByteFunction convert);
};

}  // namespace Common
}  // namespace QARN
