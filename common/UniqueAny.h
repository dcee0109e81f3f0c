// One owner for every kind of platform resource: a registry key, a kernel
// handle, a C stream, memory the system allocated. The resource is released
// exactly once, when its owner goes, is reset or is moved from.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace QARN {
namespace Common {

// Owns a `T` that `Close` releases. `Invalid` is the value that owns nothing:
// null for most, -1 (INVALID_HANDLE_VALUE) for what CreateFile returns. The
// result of `Close` is ignored: nothing is lost when releasing fails.
template <typename T, auto Close, std::intptr_t Invalid = 0>
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
  explicit operator bool() const { return value_ != InvalidValue(); }

  // Releases what is owned and hands out the slot for a platform call that
  // returns a new resource through a pointer.
  T* Put() {
    Reset();
    return &value_;
  }

  // Gives up ownership without releasing.
  T Release() {
    const T value = value_;
    value_ = InvalidValue();
    return value;
  }

  void Reset(T value = InvalidValue()) {
    if (value_ != InvalidValue()) static_cast<void>(Close(value_));
    value_ = value;
  }

 private:
  static T InvalidValue() { return reinterpret_cast<T>(Invalid); }

  T value_ = InvalidValue();
};

using UniqueStream = UniqueAny<std::FILE*, &::fclose>;
using UniqueRegKey = UniqueAny<HKEY, &::RegCloseKey>;
using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;
using UniqueFileHandle = UniqueAny<HANDLE, &::CloseHandle, -1>;
using UniqueLocalMemory = UniqueAny<HLOCAL, &::LocalFree>;

}  // namespace Common
}  // namespace QARN
