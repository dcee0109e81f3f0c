// Turns the thread's last error into a status code and a readable text.
#pragma once

#include <windows.h>

#include <string>

namespace QARN {
namespace Log {
namespace Internal {

// Call right after a failing system or C runtime call, with the caller's
// context name. Logs the error's text (at ERROR for a failure) and returns 0
// when no error is recorded (neither a Win32 last error nor errno), else a
// negative status: the error itself when it already is one, else E_FAIL.
// When no text can be found, logs that under its own context and returns the
// reason (E_FAIL for an error the system does not know). Never positive.
[[nodiscard]] HRESULT LogGetLastError(const char* context);

// The text of the thread's last error, from the first source that has one:
// WinINet's extended response text (error 12003), the fixed table, the
// message catalogue, the system's message table, and errno when there is no
// Win32 error. `status` (set to 0 by the caller) receives the mapped status
// and is left unchanged when no error is found; `text` (passed empty)
// receives the text. Returns a negative result when the resolution itself
// failed.
[[nodiscard]] HRESULT GetLastErrorText(HRESULT* status, std::string* text);

// The catalogue's or the system's text for `code`, cut at its first line
// break; the catalogue's E_FAIL text when neither has one. Returns a negative
// result when the system has no message for `code`.
[[nodiscard]] HRESULT GetSystemErrorText(DWORD code, std::string* text);

}  // namespace Internal
}  // namespace Log
}  // namespace QARN
