# Shared by the Wine test scripts: $1 is the Windows build's bin folder, $2
# the native one. KOVRA_WINE_ARCH (set by ctest) says which build that is:
# win32 (build/win32/bin, the default) or win64 (build/win64/bin, run under
# wine64 in its own prefix). WIN32_BIN names the folder under test either way.
#
# A 32-bit test on a machine that cannot run 32-bit programs prints why and
# exits with the skip code, which ctest reports as skipped; a script that runs
# no Windows program sets kovra_needs_wine=no before sourcing this file and is
# never skipped.
set -u
KOVRA_WINE_ARCH=${KOVRA_WINE_ARCH:-win32}
kovra_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/machine.sh
. "$kovra_root/scripts/machine.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
case $KOVRA_WINE_ARCH in
  win32)
    if [ "${kovra_needs_wine:-yes}" != no ]; then
      kovra_probe_32bit
      if [ "$KOVRA_32BIT" = no ]; then
        echo "SKIP: $KOVRA_NO32_REASON"
        exit "$KOVRA_SKIP_CODE"
      fi
      [ -z "${KOVRA_WINE32_PREFIX:-}" ] || export WINEPREFIX="$KOVRA_WINE32_PREFIX"
      export WINEARCH=win32
    fi
    KOVRA_OBJDUMP=i686-w64-mingw32-objdump
    KOVRA_PE_FORMAT=pei-i386
    ;;
  win64)
    if [ "${kovra_needs_wine:-yes}" != no ]; then
      [ -n "${KOVRA_WINE64_PREFIX:-}" ] || fail "KOVRA_WINE64_PREFIX is not set: run through the test command"
      # `wine` (and winepath) is the 64-bit loader from here on.
      export WINEARCH=win64 WINEPREFIX="$KOVRA_WINE64_PREFIX" PATH="$kovra_root/scripts/wine64-bin:$PATH"
    fi
    KOVRA_OBJDUMP=x86_64-w64-mingw32-objdump
    KOVRA_PE_FORMAT=pei-x86-64
    ;;
  *) fail "KOVRA_WINE_ARCH is '$KOVRA_WINE_ARCH', not win32 or win64" ;;
esac
WIN32_BIN=$(cd "$1" && pwd) || fail "no Windows build folder '$1'"
NATIVE_BIN=${2:-}
if [ "${kovra_needs_wine:-yes}" != no ]; then
  [ -n "${WINEPREFIX:-}" ] || fail "WINEPREFIX is not set: run through the test command"
  [ -n "${DISPLAY:-}" ] || fail "DISPLAY is not set: the GUI tests need a display"
fi
# Runs a Windows program with a time limit; stdout and stderr go to the given file.
run_wine() {
  local out=$1 limit=$2; shift 2
  timeout -k 5 "$limit" wine "$@" >"$out" 2>&1 </dev/null
}
