// The smallest program that carries what ZiBLauncher.exe cannot do without:
// its icon and manifest, C++ strings (narrow and wide), maps and exceptions,
// Boost's trim with an explicit classification, and the C library and
// platform calls the launcher makes. scripts/bench builds it as the launcher
// ships and sets the sizes side by side.
#include <share.h>
#include <windows.h>

#include <boost/algorithm/string/trim.hpp>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace {
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
int Format(char* buffer, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  return length;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) try {
  const std::wstring wide(L"x\u00e9");
  char narrow[8] = {};
  ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
  std::string text(commandLine);
  text += narrow;
  if (::LoadLibraryExA("wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) text += "w";
  boost::algorithm::trim_if(text, &IsSpace);
  std::map<std::string, std::string> settings;
  std::unordered_map<long, std::string> texts;
  char block[4096];
  if (std::FILE* file = ::_fsopen(text.c_str(), "rt", _SH_DENYNO)) {
    settings[text].append(block, std::fread(block, 1, sizeof block, file));
    std::fclose(file);
  }
  char* message = nullptr;
  ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0,
                   reinterpret_cast<LPSTR>(&message), 0, nullptr);
  texts[2] = message ? message : "";
  ::LocalFree(message);
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, text.c_str(), 0, KEY_READ, &key) == 0) ::RegCloseKey(key);
  Format(block, sizeof block, "%s %d %ls", text.c_str(), ::_stricmp(text.c_str(), "ZiB"), L"x");
  std::fwrite(block, 1, texts[2].size(), stderr);
  return static_cast<int>(settings.size());
} catch (const std::bad_alloc&) {
  return 2;
} catch (const std::length_error&) {
  return 3;
} catch (...) {
  return 1;
}
