// Resolves WinINet's "extended error" (12003) as a failing call would, so
// that the tests can see which WinINet answers. With "--load-plainly" it
// first loads "wininet.dll" through the ordinary search order, which a
// planted copy beside the program wins.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "log/LastError.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--load-plainly") == 0) {
    ::LoadLibraryA("wininet.dll");
  }
  ::SetLastError(12003);
  const HRESULT status =
      QARN::Log::Internal::LogGetLastError("QARN::Test::ResolveExtendedError");
  std::printf("status 0x%08lx\n", static_cast<unsigned long>(status));
  return 0;
}
