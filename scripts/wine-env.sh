# Sourced by the run and test commands: a throw-away Wine prefix on a display.
# Uses $DISPLAY when something answers there, else starts Xvfb on a free one.
# Sets KOVRA_XVFB_PID when it started Xvfb (the caller stops it).

export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${KOVRA_WINEPREFIX:-${TMPDIR:-/tmp}/kovra-wine-$(id -u)}"

kovra_display_ok() { xdpyinfo -display "$1" >/dev/null 2>&1; }

if [ -z "${DISPLAY:-}" ] || ! kovra_display_ok "$DISPLAY"; then
  for n in 99 98 97 96 95; do
    if ! kovra_display_ok ":$n" && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      KOVRA_XVFB_PID=$!
      export KOVRA_XVFB_PID DISPLAY=":$n"
      for _ in $(seq 1 100); do kovra_display_ok ":$n" && break; sleep 0.1; done
      break
    elif kovra_display_ok ":$n"; then
      export DISPLAY=":$n"
      break
    fi
  done
fi
kovra_display_ok "$DISPLAY" || { echo "wine-env: no X display could be started" >&2; return 1; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w || true
  # No window manager: unmanaged windows avoid a 2 s wait on every hide.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
  # A crashing program must fail its test, not sit in a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
fi
# Start Wine's background processes now, so that they do not hold the first
# test's output pipe open.
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
true
