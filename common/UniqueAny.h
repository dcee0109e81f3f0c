// One owner for every kind of platform resource: a registry key, a kernel
// handle, a C stream, memory the system allocated. The resource is released
// exactly once, when its owner goes, is reset or is moved from.
#pragma once

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace QARN {
namespace Common {

// Owns a `T` that `Close` releases; T{} (null) means "owns nothing". The
// result of `Close` is ignored: nothing is lost when releasing fails.
template <typename T, auto Close>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  ~UniqueAny() { Reset(); }
  UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  T Get() const { return value_; }
  explicit operator bool() const { return value_ != T{}; }

  // Releases what is owned and hands out the slot for a platform call that
  // returns a new resource through a pointer.
  T* Put() {
    Reset();
    return &value_;
  }

  // Gives up ownership without releasing.
  T Release() {
    const T value = value_;
    value_ = T{};
    return value;
  }

  void Reset(T value = T{}) {
    if (value_ != T{}) static_cast<void>(Close(value_));
    value_ = value;
  }

 private:
  T value_{};
};

using UniqueStream = UniqueAny<std::FILE*, &::fclose>;
// The host build of the platform-free parts (the fuzzer) has no Windows.
#ifdef _WIN32
using UniqueRegKey = UniqueAny<HKEY, &::RegCloseKey>;
using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;
using UniqueLocalMemory = UniqueAny<HLOCAL, &::LocalFree>;
#endif

}  // namespace Common
}  // namespace QARN
