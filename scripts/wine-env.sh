# Sourced by the run and test commands: throw-away Wine prefixes on a display.
# Uses $DISPLAY when something answers there, else starts Xvfb on a free one.
# Sets KOVRA_XVFB_PID when it started Xvfb (the caller stops it, or calls
# kovra_wine_stop).
#
# Two prefixes: a 32-bit one for the 32-bit build ($KOVRA_WINEPREFIX, default
# /tmp/kovra-wine-$UID), prepared only where 32-bit programs run (see
# scripts/machine.sh), and a 64-bit one for the x86-64 build under wine64
# ($KOVRA_WINE64PREFIX, default /tmp/kovra-wine64-$UID). KOVRA_WINE_ARCHS
# names the ones to prepare ("win32 win64" unless set).
#
# Exports KOVRA_WINE32_PREFIX, KOVRA_WINE64_PREFIX, KOVRA_WINE64_PATH (a folder
# whose `wine` is the 64-bit loader), KOVRA_32BIT and KOVRA_NO32_REASON.
# WINEPREFIX and WINEARCH are the 32-bit prefix's where 32-bit programs run;
# elsewhere they are the 64-bit prefix's and `wine` is the 64-bit loader.

kovra_scripts_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=machine.sh
. "$kovra_scripts_dir/machine.sh"
kovra_probe_32bit
export KOVRA_32BIT KOVRA_NO32_REASON

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export KOVRA_WINE32_PREFIX="${KOVRA_WINEPREFIX:-${TMPDIR:-/tmp}/kovra-wine-$(id -u)}"
export KOVRA_WINE64_PREFIX="${KOVRA_WINE64PREFIX:-${TMPDIR:-/tmp}/kovra-wine64-$(id -u)}"
export KOVRA_WINE64_PATH="$kovra_scripts_dir/wine64-bin"

kovra_display_ok() { xdpyinfo -display "$1" >/dev/null 2>&1; }

if [ -z "${DISPLAY:-}" ] || ! kovra_display_ok "$DISPLAY"; then
  # A display of our own: one that answers belongs to someone else, and its
  # windows would show up in our screenshots and window searches.
  for n in $(seq 99 -1 60); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] && ! kovra_display_ok ":$n"; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      KOVRA_XVFB_PID=$!
      export KOVRA_XVFB_PID DISPLAY=":$n"
      for _ in $(seq 1 300); do
        kovra_display_ok ":$n" && break
        kill -0 "$KOVRA_XVFB_PID" 2>/dev/null || break
        sleep 0.1
      done
      kovra_display_ok ":$n" && break
      # Another Xvfb took the number first: try the next one.
      kill "$KOVRA_XVFB_PID" 2>/dev/null
      unset KOVRA_XVFB_PID DISPLAY
    fi
  done
fi
kovra_display_ok "${DISPLAY:-}" || { echo "wine-env: no X display could be started" >&2; return 1; }

# Runs a command in one prefix's environment: kovra_in_prefix win32|win64 CMD...
kovra_in_prefix() {
  local arch=$1
  shift
  if [ "$arch" = win64 ]; then
    WINEARCH=win64 WINEPREFIX="$KOVRA_WINE64_PREFIX" PATH="$KOVRA_WINE64_PATH:$PATH" "$@"
  else
    WINEARCH=win32 WINEPREFIX="$KOVRA_WINE32_PREFIX" "$@"
  fi
}

kovra_prepare_prefix() {
  local arch=$1 prefix=$KOVRA_WINE32_PREFIX
  [ "$arch" = win64 ] && prefix=$KOVRA_WINE64_PREFIX
  if [ ! -f "$prefix/system.reg" ]; then
    kovra_in_prefix "$arch" wineboot -i >/dev/null 2>&1 </dev/null || true
    kovra_in_prefix "$arch" wineserver -w || true
    # No window manager: unmanaged windows avoid a 2 s wait on every hide.
    kovra_in_prefix "$arch" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1 </dev/null
    # A crashing program must fail its test, not sit in a dialog.
    kovra_in_prefix "$arch" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1 </dev/null
  fi
  [ -f "$prefix/system.reg" ] || { echo "wine-env: Wine could not create the $arch prefix $prefix" >&2; return 1; }
  # Start Wine's background processes now, so that they do not hold the first
  # test's output pipe open.
  kovra_in_prefix "$arch" wineserver -p >/dev/null 2>&1 </dev/null || true
  kovra_in_prefix "$arch" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Stops the Wine servers of both prefixes and the Xvfb started here.
# Safe under `set -e`: a prefix whose server is not running is no error.
kovra_wine_stop() {
  kovra_in_prefix win32 wineserver -k 2>/dev/null || true
  kovra_in_prefix win64 wineserver -k 2>/dev/null || true
  if [ -n "${KOVRA_XVFB_PID:-}" ]; then kill "$KOVRA_XVFB_PID" 2>/dev/null || true; fi
}

for kovra_arch in ${KOVRA_WINE_ARCHS:-win32 win64}; do
  case $kovra_arch in
    win32) [ "$KOVRA_32BIT" = no ] || kovra_prepare_prefix win32 || return 1 ;;
    win64)
      [ -x /usr/lib/wine/wine64 ] || { echo "wine-env: wine64 is missing (scripts/deps.sh installs it)" >&2; return 1; }
      kovra_prepare_prefix win64 || return 1
      ;;
  esac
done
unset kovra_arch

if [ "$KOVRA_32BIT" = yes ]; then
  export WINEARCH=win32 WINEPREFIX="$KOVRA_WINE32_PREFIX"
else
  export WINEARCH=win64 WINEPREFIX="$KOVRA_WINE64_PREFIX" PATH="$KOVRA_WINE64_PATH:$PATH"
fi
true
