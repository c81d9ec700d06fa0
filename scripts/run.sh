#!/usr/bin/env bash
# The main job: builds everything and opens the plug-in's main window in our
# host under Wine, with a generated sample image already named in the window
# (through the stored "SOURCE_FILE" setting) and a simulated phone behind the
# device buttons. On a desktop ($DISPLAY answers) the window stays until you
# close the host; otherwise it runs on Xvfb, lists the partitions, shows the
# hex window and leaves two screenshots.
#
# Where the kernel runs no 32-bit programs (scripts/machine.sh) it says why in
# one line and shows the x86-64 build of the plug-in in the x86-64 build of
# our host under wine64 instead; if even that cannot be shown, fullflash lists
# the sample image's partitions and checks them for blank ones.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# shellcheck source=machine.sh
. scripts/machine.sh
kovra_probe_32bit
bash scripts/build.sh
had_display=no
[ -n "${DISPLAY:-}" ] && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && had_display=yes

out=$PWD/out
mkdir -p "$out"
sample="$out/sample-fullflash.bin"
device="$out/sample-device.bin"
# The table in block 2, where "&Get Partitions from Device" looks for it too.
build/native/bin/ffsample -t 2 "$sample" >/dev/null
[ -f "$device" ] || build/native/bin/ffsample -t 2 --seed 3 "$device" >/dev/null
echo "Sample image:  $sample"
echo "Sample device: $device (2048-byte pages, 0x20000-byte blocks, 1024 blocks)"

if [ "$KOVRA_32BIT" = yes ]; then
  arch=win32
else
  arch=win64
  echo "The 32-bit plug-in cannot be shown here: $KOVRA_NO32_REASON. Showing its x86-64 build under wine64 instead."
fi
bin=$PWD/build/$arch/bin

# The plug-in's main window in our host, from the given build; fails, with the
# host's log on stdout, when the window could not be shown.
show_in_wine() {
  local key='HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings'
  wine reg add "$key" /v SOURCE_FILE /t REG_SZ /d "\"$(winepath -w "$sample")\"" /f >/dev/null 2>&1 </dev/null
  cd "$bin"
  local host=(wine kovra-host.exe --device "$(winepath -w "$device")" --chip 2048:0x20000:1024)
  if [ "$had_display" = yes ]; then
    "${host[@]}" QualcommTool.dll
    return
  fi
  local script="$out/demo-script.txt"
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
  local pid=$!
  # Each picture once its window is up and drawn.
  visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
  for _ in $(seq 1 120); do visible '^Processing Qualcomm' && break; sleep 0.25; done
  sleep 2.5
  import -display "$DISPLAY" -window root "$out/main-window.png"
  for _ in $(seq 1 120); do visible '^Partition HEX Contents View' && break; sleep 0.25; done
  sleep 1.5
  import -display "$DISPLAY" -window root "$out/hex-window.png"
  wait "$pid" || { cat "$out/demo.log"; return 1; }
  echo "Screenshot of the plug-in's main window: $out/main-window.png"
  echo "Screenshot with the hex window:          $out/hex-window.png"
}

# What the machine allows when no Windows program can be shown.
fullflash_demo() {
  echo "== fullflash list $sample"
  build/native/bin/fullflash list "$sample"
  echo "== fullflash blank $sample"
  build/native/bin/fullflash blank "$sample"
}

cleanup() { declare -F kovra_wine_stop >/dev/null && kovra_wine_stop; true; }
trap cleanup EXIT
export KOVRA_WINE_ARCHS=$arch
if [ ! -f "$bin/kovra-host.exe" ] || [ ! -f "$bin/QualcommTool.dll" ]; then
  echo "No $arch build of our host and the plug-in in $bin; fullflash at work on the sample image instead."
  fullflash_demo
  exit 1
fi
# shellcheck source=wine-env.sh
if ! . scripts/wine-env.sh; then
  echo "Wine could not be prepared for the $arch build (above); fullflash at work on the sample image instead."
  fullflash_demo
  exit 1
fi
if ! (show_in_wine); then
  echo "Our host could not show the $arch plug-in under Wine (its log is above); fullflash at work on the sample image instead."
  fullflash_demo
  exit 1
fi
