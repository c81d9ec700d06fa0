# Every device button against the simulated chip in our host, byte for byte:
# get the table from the device, read every partition and save the working
# image; flash an image onto the device; erase it; stop a slow read and save
# what it read; and a refused connection. The user's image files are never
# written. The device is 256 blocks of 0x20000 laid out as ffsample scales
# its default layout: SBL1 0, MIBIB 1, SBL2 2-3, QCSBL 4, OEMSBL 5-6, AMSS
# 7-0x37, APPSBL 0x38-0x39, ... USERDATA 0xB0-0xFF.
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
  sed -i 's/\r$//' "$work/$name.log"   # Windows line ends
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

# 3. A slow read stopped by the user while the sixth partition (AMSS,
# blocks 7 to 0x37) is read: the five before it (blocks 0 to 6) come from
# the device, the rest of the working image stays the user's image, and the
# reads of the later partitions never start.
cp "$work/device-orig.bin" "$work/device.bin"
cat > "$work/stop.txt" <<SCRIPT
timeout 60000
type 1101 $(w "$work/other.bin")
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
click Invert Selection
click Read Selected
expect-memo Reading FLASH1 at 0x000E0000, 0x00620000 bytes...
click &Stop
expect-status 0 Stopped by User.
expect-memo ERROR: Operation stopped by user.
expect-enabled Read Selected
expect-stop-byte 0
list-rclick 0
menu 9
file-dialog $(w "$work/stopped.bin")
expect-file $size $(w "$work/stopped.bin")
expect-memo Saving to File...OK
SCRIPT
session stop --slow 100
grep -q '^log: ERROR: Operation stopped by user.$' "$work/stop.log" || fail "stop: the phone saw no stop"
! grep -q '^log: Reading FLASH1 at 0x00700000' "$work/stop.log" || fail "stop: the read went on past AMSS"
[ "$(grep -c '^log: Read OK.$' "$work/stop.log")" = 5 ] || fail "stop: not exactly five partitions were read"
cp "$work/other.bin" "$work/expected.bin"
put() { dd if="$1" of="$2" bs=4096 iflag=skip_bytes,count_bytes oflag=seek_bytes conv=notrunc \
          skip=$(($3)) seek=$(($3)) count=$(($4)) status=none; }
put "$work/device-orig.bin" "$work/expected.bin" 0 0xE0000             # main data of blocks 0 to 6
put "$work/device-orig.bin" "$work/expected.bin" 0x2000000 0x7000      # and their spare data
cmp "$work/stopped.bin" "$work/expected.bin" || fail "stop: the working image is not the five partitions read"

# 4. A refused connection: the phone's answer is the last line, no working
# image is made and the window is as it was (no list: Invert disabled).
cat > "$work/refuse.txt" <<SCRIPT
timeout 30000
expect-disabled Invert Selection
click &Get Partitions from Device
expect-memo ERROR: The phone does not answer.
expect-last-line ERROR: The phone does not answer.
expect-enabled &Get Partitions from Device
expect-disabled Invert Selection
expect-status 0
expect-stop-byte 0
expect-no-file $(w "$WIN32_BIN")\\\$tQcmImage.\$\$\$
SCRIPT
session refuse --refuse-connect
grep -q '^log: ERROR: The phone does not answer.$' "$work/refuse.log" || fail "refuse: the phone was never asked"
! grep -q '^log: FLASH1' "$work/refuse.log" || fail "refuse: the chip was asked for after the refusal"
# The working image goes when the window closes, and the host's read files
# with it or with the next read: nothing is left in the host's folder.
left=$(ls -A "$WIN32_BIN" | grep -F '$tQcm' || true)
[ -z "$left" ] || fail "temporary files left in the host's folder: $left"
echo "device_e2e: every step held"
