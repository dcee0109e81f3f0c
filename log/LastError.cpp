#include "log/LastError.h"

#include <cerrno>
#include <cstring>

#include "common/ErrorMessageMap.h"
#include "common/PlatformHooks.h"
#include "common/UniqueAny.h"
#include "log/InternetErrorTable.h"
#include "log/Log.h"

#include <wininet.h>  // error codes only: WinINet is loaded on first use

namespace QARN {
namespace Log {
namespace Internal {
namespace {

constexpr const char kContext[] = "QARN::Log::Internal::LogGetLastError";

// Serves both the WinINet response text and the C runtime's error text.
constexpr DWORD kWorkBufferSize = 4096;

using Common::InternetGetLastResponseInfoFunction;

// WinINet's InternetGetLastResponseInfoA, loaded on first use from the
// system folder only: WinINet is not one of the system's known DLLs, so a
// "wininet.dll" dropped into the (often user-writable) game folder would
// otherwise be loaded in its place. It is loaded by its full path, and its
// own imports are looked for from there, not beside the launcher (Vista, and
// Windows 7 without its loader update, refuse LOAD_LIBRARY_SEARCH_SYSTEM32).
// Null when it cannot be had; the last error then tells why. Tried once: the
// library stays loaded for the process's life, and a failure is remembered.
InternetGetLastResponseInfoFunction LoadResponseInfo() {
  static bool tried = false;
  static InternetGetLastResponseInfoFunction loaded = nullptr;
  if (!tried) {
    tried = true;
    char systemFolder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length >= MAX_PATH) ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(systemFolder, length) + "\\wininet.dll";
    const HMODULE wininet = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!wininet) return nullptr;
    loaded = reinterpret_cast<InternetGetLastResponseInfoFunction>(
        ::GetProcAddress(wininet, "InternetGetLastResponseInfoA"));
  }
  return loaded;
}

// Fetches the server's response text of the thread's latest WinINet call.
bool GetLastResponseInfo(DWORD* error, char* buffer, DWORD* length) {
  const InternetGetLastResponseInfoFunction hooked = Common::PlatformHooks::internetGetLastResponseInfo;
  const InternetGetLastResponseInfoFunction responseInfo = hooked ? hooked : LoadResponseInfo();
  return responseInfo != nullptr && responseInfo(error, buffer, length) != FALSE;
}

// A failed call's last error, when it is already a (negative) status code,
// is reported as itself.
HRESULT FailureFromLastError() {
  const HRESULT error = static_cast<HRESULT>(::GetLastError());
  return error < 0 ? error : E_FAIL;
}

void MapToStatus(HRESULT* status) {
  if (*status > 0) *status = E_FAIL;
}

const std::string* FindInCatalogue(HRESULT code) { return Common::ErrorMessageMap::Instance().Find(code); }

// errno's text, for a failure with no Win32 error recorded.
HRESULT GetErrnoText(char (&workBuffer)[kWorkBufferSize], HRESULT* status, std::string* text) {
  int number = 0;
  if (::_get_errno(&number) != 0) return E_FAIL;
  if (number == 0) return S_OK;
  workBuffer[0] = '\0';
  if (::strerror_s(workBuffer, kWorkBufferSize, number) != 0) return E_FAIL;
  *status = E_FAIL;
  *text = workBuffer;
  return S_OK;
}

}  // namespace

HRESULT LogGetLastError(const char* context) {
  HRESULT status = S_OK;
  std::string text;
  const HRESULT result = GetLastErrorText(&status, &text);
  if (result < 0) {
    LogPrintf(ERROR, kContext,
              "A failure occurred while trying to get the last error message. "
              "(0x%08lx)",
              static_cast<unsigned long>(result));
    return result;
  }
  LogMessage(status >= 0 ? DEBUG : ERROR, context, text.c_str());
  return status;
}

HRESULT GetLastErrorText(HRESULT* status, std::string* text) {
  const DWORD error = ::GetLastError();
  char workBuffer[kWorkBufferSize];
  if (error == ERROR_SUCCESS) {
    const HRESULT result = GetErrnoText(workBuffer, status, text);
    if (result >= 0) MapToStatus(status);
    return result;
  }
  if (error == ERROR_INTERNET_EXTENDED_ERROR) {
    DWORD responseError = 0;
    DWORD length = kWorkBufferSize;
    workBuffer[0] = '\0';
    if (GetLastResponseInfo(&responseError, workBuffer, &length)) {
      *status = responseError != 0 ? static_cast<HRESULT>(responseError) : E_FAIL;
      // Line breaks stay: the server's text is logged as it came.
      text->assign(workBuffer, ::strnlen(workBuffer, kWorkBufferSize));
      MapToStatus(status);
      return S_OK;
    }
    // Typically a response too long for the buffer (or WinINet missing): the
    // table's text for 12003 serves instead.
    const HRESULT failure = static_cast<HRESULT>(::GetLastError());
    if (failure < 0) return failure;
  }
  if (const char* tableText = FindInternetErrorText(error)) {
    *status = static_cast<HRESULT>(error);
    *text = tableText;
    MapToStatus(status);
    return S_OK;
  }
  const HRESULT result = GetSystemErrorText(error, text);
  *status = static_cast<HRESULT>(error);
  if (result < 0) return result;
  MapToStatus(status);
  return result;
}

HRESULT GetSystemErrorText(DWORD code, std::string* text) {
  // A last error that is one of the catalogue's status codes gets its
  // localized text; ordinary Win32 error numbers are not keys there.
  if (const std::string* localized = FindInCatalogue(static_cast<HRESULT>(code))) {
    *text = *localized;
    return S_OK;
  }
  HRESULT result = S_OK;
  char* message = nullptr;
  // Messages are read without arguments, so their insert sequences (%1) must
  // stay as they are rather than make the system read arguments.
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&message), 0, nullptr);
  if (length == 0) {
    result = FailureFromLastError();
  } else {
    const Common::UniqueLocalMemory owned(message);
    // Only the first line: every system message ends with a line break.
    std::size_t firstLine = 0;
    while (firstLine < length && message[firstLine] != '\0' && message[firstLine] != '\r' &&
           message[firstLine] != '\n') {
      ++firstLine;
    }
    text->assign(message, firstLine);
  }
  if (text->empty()) {
    if (const std::string* unspecified = FindInCatalogue(E_FAIL)) {
      *text = *unspecified;
    }
  }
  return result;
}

}  // namespace Internal
}  // namespace Log
}  // namespace QARN
