// A process-wide object built on its first use and destroyed at process exit.
#pragma once

#include <cstdlib>
#include <new>
#include <utility>

namespace QARN {
namespace Common {

// One process-wide T per Tag. The first Get() marks the object as built, then
// constructs it; if the constructor throws, the mark is withdrawn so the next
// call tries again. Once construction completes, destruction is registered
// with atexit. A call made while the constructor is still running (the
// constructor may reach back to its own accessor) gets the object in its
// current, partly built state: it neither builds a second one nor waits.
// Not thread-safe: the launcher has one thread.
template <typename T, typename Tag = T>
class FirstUse {
 public:
  template <typename... Args>
  static T& Get(Args&&... args) {
    // cppcheck-suppress knownConditionTrueFalse ; earlier calls set built_
    if (!built_) {
      built_ = true;
      try {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
      } catch (...) {
        built_ = false;
        throw;
      }
      // Should the registration fail, the object is never destroyed; what it
      // holds goes with the process all the same.
      static_cast<void>(std::atexit(&Destroy));
    }
    return *Object();
  }

 private:
  static T* Object() { return std::launder(reinterpret_cast<T*>(storage_)); }
  static void Destroy() { Object()->~T(); }

  static inline bool built_ = false;
  alignas(T) static inline unsigned char storage_[sizeof(T)];
};

}  // namespace Common
}  // namespace QARN
