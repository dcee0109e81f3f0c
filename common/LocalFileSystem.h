// Files on the local disk. Paths are narrow strings in the ANSI code page,
// handed unchanged to the platform; relative ones resolve against the current
// directory.
#pragma once

#include <windows.h>

#include <string>

namespace QARN {
namespace Common {

class LocalFileSystem {
 public:
  LocalFileSystem() = delete;

  // Deletes the file at `path`. When the first attempt fails, its error is
  // logged, a read-only attribute is cleared and one more attempt is made.
  // Returns 0 when the file was deleted, else the negative status of the
  // failure (a failure with no recorded error counts as done and returns 0).
  // Directories are never removed.
  [[nodiscard]] static HRESULT DeleteFileA(const std::string& path);

  // Clears the read-only attribute of `path`, keeping every other attribute.
  // Returns 0 when the attribute is clear afterwards, E_FAIL (logged) when the
  // attributes cannot be read or changed.
  [[nodiscard]] static HRESULT RemoveReadOnly(const std::string& path);

  // True when `path` names anything whose attributes can be read, a
  // directory included.
  static bool FileExists(const std::string& path);
};

}  // namespace Common
}  // namespace QARN
