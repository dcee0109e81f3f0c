# Shared by the scripts: packages, locales, the 32-bit route, builds. Sourced.

QARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

qarn_packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 libboost-dev googletest cmake ninja-build wine64
  wine32:i386 xvfb locales)

# What the release tools need (scripts/release/: the checker, the signer, the
# notices), and what their tests need besides: a software token and a clock
# to set back.
qarn_release_packages=(osslsigncode openssl python3-pefile python3-asn1crypto python3-debian
  libengine-pkcs11-openssl)
qarn_release_test_packages=(softhsm2 opensc faketime)

# What changes the machine (packages, locales, the kernel's handlers) runs
# through sudo unless the scripts run as root.
qarn_sudo=
[ "$(id -u)" -eq 0 ] || qarn_sudo=sudo

# The Unix locales under which Wine runs programs with the ANSI code pages of
# players' machines (932, 936 and 65001; tests/CMakeLists.txt pairs them).
qarn_locales=(ja_JP.UTF-8 zh_CN.UTF-8 hi_IN.UTF-8)

# Installs the Debian packages that are missing, 32-bit Wine included (it
# runs the shipped 32-bit program in a 64-bit prefix), and where this kernel
# runs no 32-bit code, a qemu-user that can. The package lists are updated
# once, also across the scripts one script runs.
qarn_install_packages() {
  local missing=() package emulator= statuses
  # One query answers when all are installed, as they are but the first time
  # (one per package costs a tenth of a second each, for each script).
  if ! statuses=$(dpkg-query -W -f='${db:Status-Abbrev}\n' "${qarn_packages[@]}" "$@" 2>/dev/null) ||
    grep -qv '^ii ' <<<"$statuses"; then
    for package in "${qarn_packages[@]}" "$@"; do
      dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
        grep -q 'install ok installed' || missing+=("$package")
    done
  fi
  qarn_runs_32bit || [ -n "$(qarn_usable_qemu)" ] || { emulator=qemu-user-static && qarn_add_backports; }
  [ ${#missing[@]} -eq 0 ] && [ -z "$emulator" ] && return 0
  dpkg --print-foreign-architectures | grep -qx i386 ||
    $qarn_sudo dpkg --add-architecture i386
  if [ -z "${QARN_APT_UPDATED:-}" ]; then
    $qarn_sudo apt-get update -qq
    export QARN_APT_UPDATED=1
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # 32-bit Wine must be the same version as 64-bit Wine.
    local wine_version
    wine_version=$(apt-cache policy wine64 | sed -n 's/^ *Candidate: //p')
    missing=("${missing[@]/#wine32:i386/wine32:i386=$wine_version}")
    missing=("${missing[@]/#wine64/wine64=$wine_version}")
    DEBIAN_FRONTEND=noninteractive $qarn_sudo apt-get install -y -qq \
      --no-install-recommends "${missing[@]}" >/dev/null
  fi
  [ -z "$emulator" ] || qarn_install_qemu || echo "No qemu-user-static 8 or later among the packages."
}

# Makes the locales of qarn_locales that the machine lacks.
qarn_make_locales() {
  local locale
  for locale in "${qarn_locales[@]}"; do
    grep -qix "${locale/UTF-8/utf8}" <<<"$(locale -a)" ||
      $qarn_sudo localedef -i "${locale%.*}" -f UTF-8 "$locale"
  done
}

# Runs a 93-byte i386 Linux program that exits with 32: true when this machine
# runs 32-bit x86 code, natively or through a registered emulator. Some
# virtual machines give user space no 32-bit mode ("Exec format error").
qarn_runs_32bit() {
  local probe status=0
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0'`
    `'\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0'`
    `'\0\x10\0\0\x31\xdb\xb3\x20\x31\xc0\x40\xcd\x80' >"$probe"  # xor ebx,ebx; mov bl,32; exit(ebx)
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 32 ]
}

qarn_binfmt=/proc/sys/fs/binfmt_misc

# The qemu-user that the kernel hands 32-bit x86 programs to, if any.
qarn_i386_emulator() {
  local handler
  for handler in "$qarn_binfmt"/*; do
    [ "$(head -n1 "$handler" 2>/dev/null)" = enabled ] || continue
    sed -n 's/^interpreter \(.*qemu-i386.*\)/\1/p' "$handler"
  done | head -n1
}

# The version of the qemu-user-static package (empty when not installed or
# older than 8, which runs Wine about a hundred times slower than 8 does).
qarn_usable_qemu() {
  local version
  version=$(dpkg-query -W -f='${Status} ${Version}' qemu-user-static 2>/dev/null |
    sed -n 's/^install ok installed //p')
  [ -n "$version" ] && dpkg --compare-versions "$version" ge 1:8 && echo "$version"
}

# Release suites older than Debian 13 hold a qemu-user older than 8; their
# backports hold a newer one. Adds the release's backports suite to apt's
# sources, from the archive that the machine's own sources name for the
# release (its packages are installed only when asked for by version),
# before the one apt-get update.
qarn_add_backports() {
  local codename uri
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] && [ "$codename" != sid ] || return 0
  ! grep -rqs "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d || return 0
  uri=$(apt-get indextargets --no-release-info --format '$(RELEASE) $(REPO_URI)' | awk -v suite="$codename" '$1 == suite { print $2; exit }')
  [ -n "$uri" ] || { echo "No apt source names the release $codename: no backports suite added."; return 0; }
  printf '%s\n' "Types: deb" "URIs: $uri" "Suites: $codename-backports" \
    "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
    $qarn_sudo tee "/etc/apt/sources.list.d/$codename-backports.sources" >/dev/null
  unset QARN_APT_UPDATED  # the new suite's list is not there yet
}

# Installs the newest qemu-user-static of version 8 or later that apt offers,
# from whichever suite has it: only that package, which is static and needs
# no other.
qarn_install_qemu() {
  local version
  version=$(apt-cache madison qemu-user-static | awk -F' *[|] *' '{print $2}' |
    while read -r v; do dpkg --compare-versions "$v" ge 1:8 && echo "$v"; done | sort -V | tail -n1)
  [ -n "$version" ] || return 1
  echo "Installing: qemu-user-static=$version (runs 32-bit programs on this kernel)"
  DEBIAN_FRONTEND=noninteractive $qarn_sudo apt-get install -y -qq --no-install-recommends \
    "qemu-user-static=$version" >/dev/null
}

# Hands 32-bit x86 programs to qemu-user (Debian's package registers no
# handler for the host's own family): mounts binfmt_misc where needed and
# registers /usr/bin/qemu-i386-static, opened now (flag F), until the next boot.
qarn_register_qemu() {
  [ -e "$qarn_binfmt/register" ] || $qarn_sudo mount -t binfmt_misc binfmt_misc "$qarn_binfmt" 2>/dev/null || return 1
  [ ! -e "$qarn_binfmt/qemu-i386" ] || echo -1 | $qarn_sudo tee "$qarn_binfmt/qemu-i386" >/dev/null
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:'`
    `'\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    $qarn_sudo tee "$qarn_binfmt/register" >/dev/null
}

# Chooses the architecture that the tests, the demo and the bench run:
# QARN_ARCH is i686, the shipped program, wherever 32-bit Wine can start, if
# need be under qemu-user; otherwise x86_64, the same code, as a stand-in.
# QARN_32BIT says how 32-bit code runs here, or why it cannot.
qarn_choose_arch() {
  QARN_ARCH=x86_64
  if ! qarn_runs_32bit; then
    if [ -z "$(qarn_usable_qemu)" ]; then
      QARN_32BIT="this kernel runs no 32-bit code, and no qemu-user-static 8 or later could be installed"
      return 0
    fi
    if ! qarn_register_qemu || ! qarn_runs_32bit; then
      QARN_32BIT="this kernel runs no 32-bit code, and qemu-user could not be made to run it (registering it with binfmt_misc needs root)"
      return 0
    fi
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    QARN_32BIT="32-bit Wine does not start"
    return 0
  fi
  QARN_ARCH=i686
  local emulator
  emulator=$(qarn_i386_emulator)
  if [ -z "$emulator" ]; then
    QARN_32BIT="natively"
  else
    QARN_32BIT="emulated by qemu-user $("$emulator" --version | sed -n '1s/.*version \([^ ]*\).*/\1/p')"
  fi
}

# The line a script ends with: which program ran (VERB: "Tested", "Ran"), and
# how 32-bit code ran, or why the shipped program did not.
qarn_arch_note() {
  if [ "$QARN_ARCH" = i686 ]; then
    echo "$1: the i686 build, the shipped program, under 32-bit Wine in a 64-bit (WoW64) prefix; 32-bit code ran $QARN_32BIT."
  else
    echo "$1: the x86_64 build of the same code, as a stand-in. The shipped i686 program was NOT run, since $QARN_32BIT."
  fi
}

# Configures and builds PRESET (CMakePresets.json: i686, x86_64, release),
# quietly; further arguments go to CMake's configure step. The preset gives
# every setting each time, whatever the folder's cache holds from another run.
qarn_build() {
  local preset=$1
  shift
  (cd "$QARN_ROOT" && cmake --preset "$preset" "$@" >/dev/null && cmake --build --preset "$preset" >/dev/null)
}

# Runs the Wine programs of this script in PREFIX, with a persistent server
# (scripts/wine), which goes when the script ends, also on failure.
qarn_wine_server() {
  export WINEPREFIX=$1 WINEDEBUG=-all
  "$QARN_ROOT/scripts/wine" server "$WINEPREFIX"
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
}
