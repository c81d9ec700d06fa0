#!/usr/bin/env bash
# The main job: builds everything and opens the plug-in's main window in our
# host under Wine. On a desktop ($DISPLAY answers) the window stays until you
# close the host; otherwise it runs on Xvfb and leaves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
had_display=no
[ -n "${DISPLAY:-}" ] && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && had_display=yes
. scripts/wine-env.sh
cleanup() { [ -n "${KOVRA_XVFB_PID:-}" ] && kill "$KOVRA_XVFB_PID" 2>/dev/null; true; }
trap cleanup EXIT
out=$PWD/out
mkdir -p "$out"
sample="$out/sample-fullflash.bin"
if [ -x build/native/bin/ffsample ]; then
  build/native/bin/ffsample "$sample" >/dev/null
  echo "Sample image: $sample"
fi
cd build/win32/bin
if [ "$had_display" = yes ]; then
  wine kovra-host.exe QualcommTool.dll
else
  wine kovra-host.exe --close-after 6000 --no-centre-check QualcommTool.dll >/dev/null 2>&1 &
  host=$!
  sleep 4
  shot="$out/main-window.png"
  import -display "$DISPLAY" -window root "$shot"
  wait "$host" || true
  echo "Screenshot of the plug-in's main window: $shot"
fi
