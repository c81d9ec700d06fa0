# Shared by the Wine test scripts: $1 is the Windows build's bin folder.
set -u
WIN32_BIN=$(cd "$1" && pwd)
NATIVE_BIN=${2:-}
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -n "${WINEPREFIX:-}" ] || fail "WINEPREFIX is not set: run through the test command"
[ -n "${DISPLAY:-}" ] || fail "DISPLAY is not set: the GUI tests need a display"
# Runs a Windows program with a time limit; stdout and stderr go to the given file.
run_wine() {
  local out=$1 limit=$2; shift 2
  timeout -k 5 "$limit" wine "$@" >"$out" 2>&1 </dev/null
}
