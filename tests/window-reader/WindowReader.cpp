// Test helper: waits for the message box of a running program and prints
// what it shows, as that program's user would read it.
//
//   window-reader <program path> [<seconds>]
//
// <program path> is the full path of the program that owns the box (compared
// without regard to case); <seconds> is a safety limit on the wait (30 if
// left out). Once the box is visible, prints one line each, in UTF-8:
//
//   title=<the box's caption>
//   text=<the message>
//   button=<a button's text>     (one line per button, in window order)
//
// Exit codes: 0 printed; 1 no box of that program appeared within the limit;
// 2 bad arguments; 3 more than one box of that program; 4 the box showed no
// message control.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kMessageControlId = 0xFFFF;
constexpr DWORD kPollMs = 100;
constexpr UINT kMessageTimeoutMs = 5000;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                         static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        &bytes[0], size, nullptr, nullptr);
  return bytes;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256];
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? length : 0);
}

// The text of a window in another process: WM_GETTEXT, which the platform
// carries across processes for the standard controls. The timeout only keeps
// a hung owner from holding the reader forever.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &length)) {
    return L"<no answer>";
  }
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
    return L"<no answer>";
  }
  return std::wstring(buffer.data(), static_cast<std::size_t>(copied));
}

std::wstring ImagePathOf(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return std::wstring();
  wchar_t path[32768];
  DWORD size = 32768;
  std::wstring result;
  if (::QueryFullProcessImageNameW(process, 0, path, &size)) {
    result.assign(path, size);
  }
  ::CloseHandle(process);
  return result;
}

struct Search {
  std::wstring program;
  std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
  Search* search = reinterpret_cast<Search*>(context);
  if (::IsWindowVisible(window) && ClassOf(window) == L"#32770" &&
      _wcsicmp(ImagePathOf(window).c_str(), search->program.c_str()) == 0) {
    search->boxes.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

bool IsIcon(HWND staticControl) {
  const LONG_PTR style = ::GetWindowLongPtrW(staticControl, GWL_STYLE);
  return (style & SS_TYPEMASK) == SS_ICON;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: window-reader <program path> [<seconds>]\n");
    return 2;
  }
  Search search;
  search.program = argv[1];
  const long seconds = argc == 3 ? std::wcstol(argv[2], nullptr, 10) : 30;
  if (seconds <= 0) {
    std::fprintf(stderr, "window-reader: the limit must be a positive number\n");
    return 2;
  }

  const ULONGLONG deadline = ::GetTickCount64() + seconds * 1000ULL;
  for (;;) {
    search.boxes.clear();
    ::EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
    if (!search.boxes.empty() || ::GetTickCount64() >= deadline) break;
    ::Sleep(kPollMs);
  }
  if (search.boxes.empty()) {
    std::fprintf(stderr, "window-reader: no message box of %s within %ld s\n",
                 Utf8(search.program).c_str(), seconds);
    return 1;
  }
  if (search.boxes.size() > 1) {
    std::fprintf(stderr, "window-reader: %u message boxes of %s\n",
                 static_cast<unsigned>(search.boxes.size()),
                 Utf8(search.program).c_str());
    return 3;
  }

  const HWND box = search.boxes.front();
  std::vector<HWND> children;
  ::EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));

  // The message sits in the static control of the platform's fixed id; any
  // other static control that is not the icon stands in if that id is absent.
  HWND message = ::GetDlgItem(box, kMessageControlId);
  if (message && _wcsicmp(ClassOf(message).c_str(), L"Static") != 0) {
    message = nullptr;
  }
  for (HWND child : children) {
    if (message) break;
    if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 && !IsIcon(child)) {
      message = child;
    }
  }
  if (!message) {
    std::fprintf(stderr, "window-reader: the box shows no message control\n");
    return 4;
  }

  std::string report = "title=" + Utf8(TextOf(box)) + "\n";
  report += "text=" + Utf8(TextOf(message)) + "\n";
  for (HWND child : children) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0 &&
        ::IsWindowVisible(child)) {
      report += "button=" + Utf8(TextOf(child)) + "\n";
    }
  }
  // Plain "\n" line ends, as the scripts reading this expect.
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
  return 0;
}
