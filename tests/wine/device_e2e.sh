# Every device button against the simulated chip in our host, byte for byte:
# get the table from the device, read every partition and save the working
# image; flash an image onto the device; erase it; stop a slow read; and a
# refused connection. The user's image files are never written.
. "$(dirname "$0")/lib.sh"
[ -x "$NATIVE_BIN/ffsample" ] || fail "no ffsample in $NATIVE_BIN"
work=$(mktemp -d /tmp/kovra-dev.XXXXXX)
trap 'rm -rf "$work"' EXIT
chip=2048:0x20000:256
"$NATIVE_BIN/ffsample" -b 256 -t 2 "$work/device.bin" >/dev/null || fail "ffsample failed"
"$NATIVE_BIN/ffsample" -b 256 -t 2 --seed 7 "$work/other.bin" >/dev/null || fail "ffsample failed"
cp "$work/device.bin" "$work/device-orig.bin"
other_sum=$(sha256sum "$work/other.bin" | cut -d' ' -f1)
size=$(stat -c %s "$work/device.bin")
w() { winepath -w "$1"; }
session() {  # name, host options...
  local name=$1; shift
  cd "$WIN32_BIN"
  run_wine "$work/$name.log" 240 kovra-host.exe --no-centre-check --device "$(w "$work/device.bin")" --chip $chip \
    "$@" --script "$(w "$work/$name.txt")" QualcommTool.dll
  local rc=$?
  cd - >/dev/null
  cat "$work/$name.log"
  [ $rc -eq 0 ] || fail "$name: the session failed (exit $rc)"
  grep -q '^ok   every script step held' "$work/$name.log" || fail "$name: the script did not finish"
}

# 1. Get the table, read every partition, save the working image.
cat > "$work/read.txt" <<SCRIPT
timeout 60000
click &Get Partitions from Device
expect-memo Total quantity of listed partitions: 12
expect-enabled Invert Selection
click Invert Selection
click Read Selected
expect-button &Stop
expect-button Read Selected
expect-enabled Read Selected
expect-stop-byte 0
list-rclick 0
menu 9
file-dialog $(w "$work/saved.bin")
expect-memo Saving to File...OK
expect-status 0 Complete OK
SCRIPT
session read
cmp "$work/saved.bin" "$work/device-orig.bin" || fail "the saved working image differs from the device"

# 2. Flash another image onto the device, then erase it.
cat > "$work/flash.txt" <<SCRIPT
timeout 60000
type 1101 $(w "$work/other.bin")
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
click Invert Selection
click Flash Selected
expect-button &Stop
expect-enabled Flash Selected
expect-stop-byte 0
SCRIPT
session flash
cmp "$work/device.bin" "$work/other.bin" || fail "the device does not hold the flashed image"
[ "$(sha256sum "$work/other.bin" | cut -d' ' -f1)" = "$other_sum" ] || fail "flashing changed the user's image"

cat > "$work/erase.txt" <<SCRIPT
timeout 60000
type 1101 $(w "$work/other.bin")
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
click Invert Selection
click Erase Selected
expect-button &Stop
expect-enabled Erase Selected
SCRIPT
session erase
cmp "$work/device.bin" <(head -c "$size" /dev/zero | tr '\0' '\377') || fail "the device is not erased"

# 3. A slow read stopped by the user.
cp "$work/device-orig.bin" "$work/device.bin"
cat > "$work/stop.txt" <<SCRIPT
timeout 60000
type 1101 $(w "$work/other.bin")
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
click Invert Selection
click Read Selected
wait 500
click &Stop
expect-status 0 Stopped by User.
expect-enabled Read Selected
expect-stop-byte 0
SCRIPT
session stop --slow 100

# 4. A refused connection leaves the window as it was.
cat > "$work/refuse.txt" <<SCRIPT
timeout 30000
click &Get Partitions from Device
expect-enabled &Get Partitions from Device
expect-stop-byte 0
SCRIPT
session refuse --refuse-connect
[ "$(sha256sum "$work/other.bin" | cut -d' ' -f1)" = "$other_sum" ] || fail "the user's image changed"
# The working image goes when the window closes, and the host's read files
# with it or with the next read: nothing is left in the host's folder.
left=$(ls -A "$WIN32_BIN" | grep -F '$tQcm' || true)
[ -z "$left" ] || fail "temporary files left in the host's folder: $left"
echo "device_e2e: every step held"
