# A device session's safety in the real window, through our host and its
# simulated chip: "&Stop" stays usable after a click below the last row, a
# read that the image cannot hold is refused before anything is written,
# and the data read from the phone outlives the window's closings until the
# module is unloaded or the host ends. The user's image files are never
# written.
. "$(dirname "$0")/lib.sh"
[ -x "$NATIVE_BIN/ffsample" ] || fail "no ffsample in $NATIVE_BIN"
work=$(mktemp -d /tmp/kovra-safety.XXXXXX)
trap 'rm -rf "$work"' EXIT
chip=2048:0x20000:256
"$NATIVE_BIN/ffsample" -b 256 -t 2 "$work/device.bin" >/dev/null || fail "ffsample failed"
"$NATIVE_BIN/ffsample" -b 256 -t 2 --seed 7 "$work/user.bin" >/dev/null || fail "ffsample failed"
# 128 blocks, and a partition in blocks 120 to 135: past the image's end.
"$NATIVE_BIN/ffsample" "$work/short.bin" -b 128 -t 2 -e 0:SBL:0:2 -e 0:MIBIB:2:1 -e 0:APPS:3:8 \
  -e 0:BIG:120:16:0:blank >/dev/null || fail "ffsample failed"
cp "$work/device.bin" "$work/device-orig.bin"
sums=$(sha256sum "$work/user.bin" "$work/short.bin" | cut -d' ' -f1)
w() { winepath -w "$1"; }
left_in_host_folder() { ls -A "$WIN32_BIN" | grep -F '$tQcm' || true; }
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

# 1. A click below the last row while a slow read runs: "&Stop" still stops it.
cat > "$work/stop.txt" <<SCRIPT
timeout 60000
type 1101 $(w "$work/user.bin")
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
list-click 5
click Read Partition6
expect-button &Stop
list-click 40
wait 300
expect-enabled &Stop
list-click 2
expect-enabled &Stop
click &Stop
expect-status 0 Stopped by User.
expect-enabled Read Partition3
expect-stop-byte 0
SCRIPT
session stop --slow 100

# 2. A partition past the image's end is refused before the host reads it;
#    nothing is written and the host leaves no files.
cat > "$work/short.txt" <<SCRIPT
timeout 30000
type 1101 $(w "$work/short.bin")
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 4
list-click 3
click Read Partition4
expect-memo ERROR: Partition "BIG" does not fit in the image
expect-enabled Read Partition4
expect-stop-byte 0
SCRIPT
session short
[ -z "$(left_in_host_folder)" ] || fail "files left in the host's folder: $(left_in_host_folder)"

# 3. Read the whole phone, close, and at the next showings the data is still
#    there: saved from the second, checked for blanks in the third. The host
#    then unloads the module, which deletes the working image.
cat > "$work/keep.txt" <<SCRIPT
timeout 60000
click &Get Partitions from Device
expect-memo Total quantity of listed partitions: 12
click Invert Selection
click Read Selected
expect-button &Stop
expect-button Read Selected
expect-enabled Read Selected
close
expect-enabled Read Selected
list-rclick 0
menu 9
file-dialog $(w "$work/saved.bin")
expect-memo Saving to File...OK
close
click Check for Blank
expect-memo COMPLETE!
SCRIPT
session keep --shows 3
grep -q '^script: line 9: ok   close' "$work/keep.log" || fail "the first showing did not end with the close"
cmp "$work/saved.bin" "$work/device-orig.bin" || fail "the image saved after a closing differs from the phone"
[ -z "$(left_in_host_folder)" ] || fail "files left in the host's folder after the unload: $(left_in_host_folder)"

# 4. A host that ends without unloading the module: the working image goes
#    with the process all the same.
cat > "$work/exit.txt" <<SCRIPT
timeout 60000
click &Get Partitions from Device
expect-memo Total quantity of listed partitions: 12
close
SCRIPT
session exit --no-unload
[ -z "$(left_in_host_folder)" ] || fail "files left in the host's folder at its exit: $(left_in_host_folder)"

[ "$(sha256sum "$work/user.bin" "$work/short.bin" | cut -d' ' -f1)" = "$sums" ] || fail "a user's image changed"
echo "device_safety_e2e: every step held"
