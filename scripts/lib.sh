# Shared by the scripts: packages, builds and the Wine environment. Sourced.

QARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QARN_BUILD=${QARN_BUILD:-$QARN_ROOT/build}

qarn_packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 libboost-dev googletest cmake make wine64
  wine32:i386 xvfb xauth locales)

# The Unix locales under which Wine runs programs with the ANSI code pages of
# players' machines, each with the code page it gives.
qarn_code_pages=(C.UTF-8:1252 ja_JP.UTF-8:932 zh_CN.UTF-8:936 hi_IN.UTF-8:65001)

# Installs the Debian packages that are missing, 32-bit Wine included (it
# runs the shipped 32-bit program in a 64-bit prefix). The package lists are
# updated once, also across the scripts one script runs.
qarn_install_packages() {
  local missing=() package sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for package in "${qarn_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 ||
    $sudo dpkg --add-architecture i386
  if [ -z "${QARN_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    export QARN_APT_UPDATED=1
  fi
  # 32-bit Wine must be the same version as 64-bit Wine.
  local wine_version
  wine_version=$(apt-cache policy wine64 | sed -n 's/^ *Candidate: //p')
  missing=("${missing[@]/#wine32:i386/wine32:i386=$wine_version}")
  missing=("${missing[@]/#wine64/wine64=$wine_version}")
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
}

# Makes the locales of qarn_code_pages that the machine lacks.
qarn_make_locales() {
  local page locale sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for page in "${qarn_code_pages[@]}"; do
    locale=${page%:*}
    grep -qix "${locale/UTF-8/utf8}" <<<"$(locale -a)" ||
      $sudo localedef -i "${locale%.*}" -f UTF-8 "$locale"
  done
}

# The architecture the tests and the demo run: the shipped i686 program,
# unless this kernel cannot run 32-bit programs (then 32-bit Wine cannot
# start either, and the x86_64 build of the same code stands in).
qarn_arch() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
  else
    echo x86_64
  fi
}

# Configures and builds ARCH in $QARN_BUILD/ARCH with exactly the flags the
# program ships with; further arguments go to CMake.
qarn_build() {
  local arch=$1
  shift
  cmake -S "$QARN_ROOT" -B "$QARN_BUILD/$arch" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$QARN_ROOT/cmake/mingw-$arch.cmake" \
    -DQARN_SHIPPING_BUILD=ON "$@" >/dev/null
  cmake --build "$QARN_BUILD/$arch" -j"$(nproc)" >/dev/null
}

# A 64-bit Wine prefix in the build folder (the shape of every 64-bit
# Windows) with a persistent server, so that a Wine program starts in a
# fraction of a second and no Wine process holds a caller's output open.
# Stopped on exit, also on failure.
qarn_start_wine() {
  export WINEPREFIX=${WINEPREFIX:-$QARN_BUILD/wine-prefix} WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap qarn_stop_wine EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
    # Windows has this value in both registry views; Wine's prefix lacks it.
    local view
    for view in 32 64; do
      /usr/lib/wine/wine64 reg add \
        'HKLM\Software\Microsoft\Windows\CurrentVersion' /v ProgramW6432Dir \
        /d 'C:\Program Files' /f /reg:$view </dev/null >/dev/null 2>&1
    done
  fi
  # A persistent server started beside another (wineboot's lingers, or an
  # earlier run's) exits at once: stop that one and wait until it is gone.
  /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
  # Not in the background: the server forks, and its first process exits
  # only once the server listens (0), or when another server holds the
  # prefix (2). A server still starting up would lose the prefix to the one
  # the next Wine program starts.
  local status=0
  /usr/lib/wine/wineserver --persistent </dev/null >/dev/null 2>&1 || status=$?
  case $status in
    0) ;;
    2) echo "The Wine server did not start: another server holds $WINEPREFIX." >&2; return 1 ;;
    *) echo "The Wine server did not start (exit code $status)." >&2; return 1 ;;
  esac
  # The first program brings up the prefix's desktop: now, in the caller's
  # display, rather than in the first test.
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
}

qarn_stop_wine() {
  /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
}

# Runs the Wine suite of ARCH's build (further arguments go to ctest) in a
# persistent server, and checks that there is one test entry for each test.
# Then runs the launch tests again under each other ANSI code page, after
# checking that Wine gives that code page indeed.
qarn_run_suite() {
  local arch=$1 listed entries page
  shift
  qarn_start_wine
  cd "$QARN_BUILD/$arch"
  qarn_in_code_page "${qarn_code_pages[0]}" ctest -j1 --timeout 90 --output-on-failure "$@" || return 1
  listed=$(/usr/lib/wine/wine64 bin/qarn_tests.exe --gtest_list_tests </dev/null 2>/dev/null | grep -c '^  ')
  entries=$(ctest -N | sed -n 's/^Total Tests: //p')
  [ "$listed" = "$entries" ] || { echo "FAIL: $listed tests, but $entries test entries"; return 1; }
  echo "$entries test entries, one for each of the $listed tests; each must run its test"
  for page in "${qarn_code_pages[@]:1}"; do
    qarn_in_code_page "$page" ctest -j1 --timeout 90 --output-on-failure -R Launch "$@" || return 1
  done
}

# Runs a command with LOCALE:CODE_PAGE's locale, once Wine has shown that a
# program there runs with that ANSI code page.
qarn_in_code_page() {
  local locale=${1%:*} expected=${1#*:} actual
  shift
  actual=$(LC_ALL=$locale /usr/lib/wine/wine64 bin/qarn_tests.exe --code-page </dev/null 2>/dev/null | tr -d '\r')
  echo "ANSI code page $actual under $locale"
  [ "$actual" = "$expected" ] || { echo "FAIL: Wine gives code page $actual under $locale, not $expected"; return 1; }
  LC_ALL=$locale "$@"
}
