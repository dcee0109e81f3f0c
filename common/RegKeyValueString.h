// Reads one string value from the machine-wide registry (HKEY_LOCAL_MACHINE).
#pragma once

#include <windows.h>

#include <string>

namespace QARN {
namespace Common {
namespace RegistryHelp {

// Reads the value when constructed and keeps its text; there is no second
// read. When the key or value cannot be read (missing, or data of more than
// 260 bytes), the value stays `defaultValue` and the failure is logged at
// ERROR. The value's type is not examined: any data are taken as text up to
// their first zero byte, REG_EXPAND_SZ data stay unexpanded and of
// REG_MULTI_SZ data only the first string is kept. No registry key stays open
// after the constructor returns.
class RegKeyValueString {
 public:
  RegKeyValueString(const char* keyPath, const char* valueName, const char* defaultValue);

  const std::string& Value() const { return value_; }
  operator const std::string&() const { return value_; }

 private:
  void Read();

  std::string value_;
  HKEY rootKey_;
  std::string keyPath_;
  std::string valueName_;
};

// The QARN installation root: value LocalRootFolder of
// "Software\Ombrel Studio\QARN", "c:\qarn" when it cannot be read. The
// registry is read on the first call only; later calls return the same text.
std::string GetLocalRootFolder();

}  // namespace RegistryHelp
}  // namespace Common
}  // namespace QARN
