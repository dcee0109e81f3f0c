// The platform calls that tests replace, and only these: a failing
// conversion and a WinINet response text cannot be provoked on purpose, and
// the pauses between removal attempts would cost the tests minutes. The
// program itself never changes them.
#pragma once

#include <windows.h>

namespace QARN {
namespace Common {

using InternetGetLastResponseInfoFunction = BOOL(WINAPI*)(LPDWORD error, LPSTR buffer, LPDWORD length);

struct PlatformHooks {
  static inline decltype(&::Sleep) sleep = &::Sleep;
  static inline decltype(&::WideCharToMultiByte) wideCharToMultiByte = &::WideCharToMultiByte;
  // Null: WinINet's own function, loaded from the system folder on first use.
  static inline InternetGetLastResponseInfoFunction internetGetLastResponseInfo = nullptr;
};

}  // namespace Common
}  // namespace QARN
