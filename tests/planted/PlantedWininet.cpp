// A "wininet.dll" planted beside a program: answers the extended-error text
// with "planted response", which the program must never log.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) BOOL WINAPI InternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD length) {
  *error = 0;
  *length = 16;
  std::memcpy(buffer, "planted response", 17);
  return TRUE;
}
