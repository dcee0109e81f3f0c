# The shipped program: 32-bit Windows, whose tests run under 32-bit Wine in a
# 64-bit prefix.
set(QARN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
