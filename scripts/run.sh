#!/usr/bin/env bash
# The main job: builds everything and opens the plug-in's main window in our
# host under Wine, with a generated sample image already named in the window
# (through the stored "SOURCE_FILE" setting) and a simulated phone behind the
# device buttons. On a desktop ($DISPLAY answers) the window stays until you
# close the host; otherwise it runs on Xvfb, lists the partitions, shows the
# hex window and leaves two screenshots.
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
device="$out/sample-device.bin"
# The table in block 2, where "&Get Partitions from Device" looks for it too.
build/native/bin/ffsample -t 2 "$sample" >/dev/null
[ -f "$device" ] || build/native/bin/ffsample -t 2 --seed 3 "$device" >/dev/null
echo "Sample image:  $sample"
echo "Sample device: $device (2048-byte pages, 0x20000-byte blocks, 1024 blocks)"
key='HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings'
wine reg add "$key" /v SOURCE_FILE /t REG_SZ /d "\"$(winepath -w "$sample")\"" /f >/dev/null 2>&1 </dev/null
cd build/win32/bin
host=(wine kovra-host.exe --device "$(winepath -w "$device")" --chip 2048:0x20000:1024)
if [ "$had_display" = yes ]; then
  "${host[@]}" QualcommTool.dll
else
  script="$out/demo-script.txt"
  cat > "$script" <<'SCRIPT'
timeout 20000
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
list-click 7
wait 5000
click &Show/Hide HEX
expect-window Partition HEX Contents View 
wait 4000
SCRIPT
  "${host[@]}" --no-centre-check --script "$(winepath -w "$script")" QualcommTool.dll >"$out/demo.log" 2>&1 &
  pid=$!
  # Each picture once its window is up and drawn.
  visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
  for _ in $(seq 1 120); do visible '^Processing Qualcomm' && break; sleep 0.25; done
  sleep 2.5
  import -display "$DISPLAY" -window root "$out/main-window.png"
  for _ in $(seq 1 120); do visible '^Partition HEX Contents View' && break; sleep 0.25; done
  sleep 1.5
  import -display "$DISPLAY" -window root "$out/hex-window.png"
  wait "$pid" || { cat "$out/demo.log"; exit 1; }
  echo "Screenshot of the plug-in's main window: $out/main-window.png"
  echo "Screenshot with the hex window:          $out/hex-window.png"
fi
