# A person's session in the real window, through our host: type a path, make
# the list, click and double-click rows, mark with Invert, show the hex
# window, save a partition through the popup and the real save dialog, run
# the blank check, close and find the settings in the registry, then load the
# module again and find them restored. Loads that fail end in the right
# message and leave the window usable. The image is never written.
. "$(dirname "$0")/lib.sh"
[ -x "$NATIVE_BIN/ffsample" ] || fail "no ffsample in $NATIVE_BIN"
work=$(mktemp -d /tmp/kovra-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
key='HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings'
"$NATIVE_BIN/ffsample" -b 256 "$work/phone.bin" >/dev/null || fail "ffsample failed"
"$NATIVE_BIN/ffsample" -b 256 --no-table "$work/notable.bin" >/dev/null || fail "ffsample failed"
sum_before=$(sha256sum "$work/phone.bin" | cut -d' ' -f1)
img=$(winepath -w "$work/phone.bin")
notable=$(winepath -w "$work/notable.bin")
prefix=$(winepath -w "$work/part")
wine reg delete "$key" /f >/dev/null 2>&1 </dev/null
out="$work/run1.log"

cat > "$work/session.txt" <<SCRIPT
timeout 15000
expect-disabled Check for Blank
type 1101 $work/none.bin
click &Make Partitions from File
expect-memo ERROR: Specified file does not exist!!!
expect-enabled &Make Partitions from File
type 1101 $notable
click &Make Partitions from File
expect-box ERROR: Cannot find Qualcomm Partition Table.
click OK
expect-enabled &Get Partitions from Device
expect-disabled Invert Selection
type 1101 $img
click &Make Partitions from File
expect-memo Detected NAND Page = 0x0800 bytes
expect-memo Total quantity of listed partitions: 12
expect-enabled Read Partition1
list-click 2
expect-button Read Partition3
list-dblclick 4
expect-button Read Selected
expect-button Erase Selected
click Invert Selection
click Invert Selection
expect-button Flash Selected
click &Show/Hide HEX
expect-window Partition HEX Contents View 
list-rclick 1
menu 3
file-dialog $prefix
wait 1500
click Check for Blank
expect-memo COMPLETE!
expect-memo Following partitions are found to be completely blank:
click Don't adjust HTC Partition for 4KB NAND Pages
close
expect-memo Total quantity of listed partitions: 12
expect-button Flash Selected
close
SCRIPT
cd "$WIN32_BIN"
run_wine "$out" 200 kovra-host.exe --no-centre-check --shows 2 --script "$(winepath -w "$work/session.txt")" QualcommTool.dll
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "the session failed (exit $rc)"
grep -q '^ok   every script step held' "$out" || fail "the script did not run to its end"

# The partition saved through the popup: 0:SBL2? Whatever its name, the
# full file is its main data, then its spare data, straight from the image.
part=$(ls "$work"/part*_*.bin 2>/dev/null | head -1)
[ -n "$part" ] || fail "the popup's save wrote no file"
echo "saved: $(basename "$part") $(stat -c %s "$part") bytes"
off=$((16#$(basename "$part" | sed -E 's/^part([0-9A-F]{12})_.*/\1/')))
size=$(stat -c %s "$part")
main=$((size * 32 / 33))
total=$(stat -c %s "$work/phone.bin")
spare_base=$((total / 33 * 32))
cmp <(tail -c +$((off + 1)) "$work/phone.bin" | head -c $main) \
    <(head -c $main "$part") || fail "main data of $part differs from the image"
cmp <(tail -c +$((spare_base + off / 32 + 1)) "$work/phone.bin" | head -c $((main / 32))) \
    <(tail -c +$((main + 1)) "$part") || fail "spare data of $part differs from the image"

# The settings, as the window stored them.
query() { wine reg query "$key" /v "$1" 2>/dev/null </dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {sub(/^ *[^ ]+ +REG_SZ +/, ""); print}'; }
[ "$(query SOURCE_FILE)" = "\"$img\"" ] || fail "SOURCE_FILE is '$(query SOURCE_FILE)'"
[ "$(query ADJUST_4KB)" = '"-1"' ] || fail "ADJUST_4KB is '$(query ADJUST_4KB)'"
[ "$(query HEADER00_WIDTH4)" = '"2000"' ] || fail "HEADER00_WIDTH4 is '$(query HEADER00_WIDTH4)'"
for k in FORM_X FORM_Y FORM_W FORM_H HEXFORM_X HEXFORM_Y HEXFORM_W HEXFORM_H; do
  query $k | grep -qE '^"-?[0-9]+"$' || fail "$k is '$(query $k)'"
done

# A new load of the module restores the path, the switch and the size.
wine reg add "$key" /v FORM_W /t REG_SZ /d '"1100"' /f >/dev/null 2>&1 </dev/null
wine reg add "$key" /v FORM_H /t REG_SZ /d '"700"' /f >/dev/null 2>&1 </dev/null
cat > "$work/again.txt" <<SCRIPT
timeout 15000
expect-text 1101 $img
expect-size 1100 700
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
SCRIPT
run_wine "$work/run2.log" 120 kovra-host.exe --script "$(winepath -w "$work/again.txt")" QualcommTool.dll
rc=$?
cat "$work/run2.log"
[ $rc -eq 0 ] || fail "the second session failed (exit $rc)"
grep -q 'ok   expect-size .*1100 700' "$work/run2.log" || fail "the restored size was not checked"

[ "$(sha256sum "$work/phone.bin" | cut -d' ' -f1)" = "$sum_before" ] || fail "the user's image changed"
echo "mainwindow_e2e: every step held"
