#include "common/LocalFileSystem.h"

#include "log/LastError.h"
#include "log/Log.h"

namespace QARN {
namespace Common {
namespace {

constexpr const char kDeleteContext[] = "QARN::Common::LocalFileSystem::DeleteFileA";
constexpr const char kRemoveReadOnlyContext[] = "QARN::Common::LocalFileSystem::RemoveReadOnly";

}  // namespace

HRESULT LocalFileSystem::DeleteFileA(const std::string& path) {
  Log::LogPrintf(Log::DEBUG, kDeleteContext, "(\"%s\")", path.c_str());
  // The platform function by its global name: unqualified, the call would
  // find this operation and call itself.
  if (::DeleteFileA(path.c_str())) return S_OK;
  const HRESULT firstFailure = Log::Internal::LogGetLastError(kDeleteContext);
  if (firstFailure >= 0) return firstFailure;
  // The second attempt is made whatever the attribute change gave.
  static_cast<void>(RemoveReadOnly(path));
  if (::DeleteFileA(path.c_str())) return S_OK;
  return Log::Internal::LogGetLastError(kDeleteContext);
}

HRESULT LocalFileSystem::RemoveReadOnly(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  const bool readable = attributes != INVALID_FILE_ATTRIBUTES;
  if (readable && !(attributes & FILE_ATTRIBUTE_READONLY)) return S_OK;
  const bool cleared = readable && ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
  if (cleared) {
    Log::LogPrintf(Log::DEBUG, kRemoveReadOnlyContext, "Removed read-only flag from \"%s\"", path.c_str());
    return S_OK;
  }
  Log::LogPrintf(Log::ERROR, kRemoveReadOnlyContext, "Failed on \"%s\"", path.c_str());
  return E_FAIL;
}

bool LocalFileSystem::FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace Common
}  // namespace QARN
