#include "common/RegKeyValueString.h"

#include <cstring>

#include "common/FirstUse.h"
#include "common/UniqueAny.h"
#include "log/Log.h"

namespace QARN {
namespace Common {
namespace RegistryHelp {
namespace {

constexpr const char kContext[] = "QARN::Common::RegistryHelp::RegKeyValueString::RegKeyValueString";

// Values whose data need more than this fail with ERROR_MORE_DATA.
constexpr DWORD kValueBufferSize = 260;

struct InstallationRootTag {};

}  // namespace

RegKeyValueString::RegKeyValueString(const char* keyPath, const char* valueName, const char* defaultValue)
    : value_(defaultValue), rootKey_(HKEY_LOCAL_MACHINE), keyPath_(keyPath), valueName_(valueName) {
  Log::LogPrintf(Log::DEBUG, kContext, "(%s, %s, %s)", keyPath, valueName, defaultValue);
  Read();
}

void RegKeyValueString::Read() {
  UniqueRegKey key;
  const LONG openCode = ::RegOpenKeyExA(rootKey_, keyPath_.c_str(), 0, KEY_READ, key.Put());
  if (openCode != ERROR_SUCCESS) {
    Log::LogPrintf(Log::ERROR, kContext, "Failed to find registry key \"%s\" (%d).", keyPath_.c_str(),
                   static_cast<int>(openCode));
    return;
  }
  char buffer[kValueBufferSize];
  DWORD type = 0;
  DWORD size = kValueBufferSize;
  const LONG queryCode =
      ::RegQueryValueExA(key.Get(), valueName_.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (queryCode != ERROR_SUCCESS) {
    Log::LogPrintf(Log::ERROR, kContext, "Failed to find registry value \"%s\" (%d).", valueName_.c_str(),
                   static_cast<int>(queryCode));
    return;
  }
  // Data stored without a terminating zero byte end where the returned bytes
  // end; nothing past them is read.
  value_.assign(buffer, ::strnlen(buffer, size));
  Log::LogPrintf(Log::VERBOSE, kContext, "%s, %s = %s", keyPath_.c_str(), valueName_.c_str(), value_.c_str());
}

std::string GetLocalRootFolder() {
  return FirstUse<RegKeyValueString, InstallationRootTag>::Get("Software\\Ombrel Studio\\QARN", "LocalRootFolder",
                                                               "c:\\qarn")
      .Value();
}

}  // namespace RegistryHelp
}  // namespace Common
}  // namespace QARN
