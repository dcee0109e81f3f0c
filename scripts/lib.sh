# Shared by the scripts: packages, builds and the Wine environment.
# Sourced, not run.

QARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QARN_BUILD=${QARN_BUILD:-$QARN_ROOT/build}
QARN_WINE=/usr/lib/wine/wine64
QARN_WINESERVER=/usr/lib/wine/wineserver

qarn_packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64
  libboost-dev googletest cmake make binutils-mingw-w64-i686)

# What scripts/test and the scripts it runs need besides the build's own
# packages: the host build and static analysis, and the release checks. (The
# real-window test installs its X server itself, and skips where it cannot.)
qarn_test_packages=(clang libclang-rt-dev clang-tidy cppcheck icoutils python3)

# Installs the Debian packages that are missing. The package lists are
# updated once, also across the scripts that one script runs.
qarn_install_packages() {
  local missing=() package
  for package in "${qarn_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if [ -z "${QARN_APT_UPDATED:-}" ]; then
    $sudo apt-get update
    export QARN_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y \
    --no-install-recommends "${missing[@]}"
}

# Configures and builds one architecture (i686 or x86_64) in $QARN_BUILD/ARCH.
qarn_build() {
  local arch=$1
  shift
  cmake -S "$QARN_ROOT" -B "$QARN_BUILD/$arch" \
    -DCMAKE_TOOLCHAIN_FILE="$QARN_ROOT/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$QARN_BUILD/$arch" -j"$(nproc)"
}

# A Wine prefix inside the build folder, with a persistent server: a Wine
# command then starts in a fraction of a second, and no Wine background
# process keeps a caller's output pipe open. Stopped on exit, also on failure.
qarn_start_wine() {
  export WINEPREFIX="${QARN_WINE_PREFIX:-$QARN_BUILD/wine-prefix}"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Without a display, a message box returns at once instead of waiting.
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix (takes a few seconds)..."
    "$QARN_WINE" wineboot --init </dev/null >/dev/null 2>&1
  fi
  setsid "$QARN_WINESERVER" -p </dev/null >/dev/null 2>&1 &
  "$QARN_WINE" cmd /c exit </dev/null >/dev/null 2>&1
  trap qarn_stop_wine EXIT
}

qarn_stop_wine() {
  "$QARN_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
}

# Prints a Linux path as Wine's Z: drive sees it.
qarn_wine_path() {
  printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"
}
