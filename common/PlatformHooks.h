// The platform calls that tests replace, and only these: a WinINet response
// text cannot be provoked on purpose, nor a module path that the platform
// cannot give or that is longer than any it starts a program from, and the
// pauses between removal attempts would cost the tests minutes. The program
// itself never changes them.
#pragma once

#include <windows.h>

namespace QARN {
namespace Common {

using InternetGetLastResponseInfoFunction = BOOL(WINAPI*)(LPDWORD error, LPSTR buffer, LPDWORD length);

struct PlatformHooks {
  static inline decltype(&::Sleep) sleep = &::Sleep;
  static inline decltype(&::GetModuleFileNameW) getModuleFileNameW = &::GetModuleFileNameW;
  // Null: WinINet's own function, loaded from the system folder on first use.
  static inline InternetGetLastResponseInfoFunction internetGetLastResponseInfo = nullptr;
};

// Replaces one hook while it lives, then puts back what was there.
template <typename Function>
class ScopedHook {
 public:
  ScopedHook(Function& hook, Function replacement) : hook_(hook), previous_(hook) { hook_ = replacement; }
  ~ScopedHook() { hook_ = previous_; }
  ScopedHook(const ScopedHook&) = delete;
  ScopedHook& operator=(const ScopedHook&) = delete;

 private:
  Function& hook_;
  const Function previous_;
};

}  // namespace Common
}  // namespace QARN
