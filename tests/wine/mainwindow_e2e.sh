# A person's session in the real window, through our host: type a path, make
# the list, click and double-click rows, mark with Invert, show the hex
# window, save a partition through the popup and the real save dialog, run
# the blank check, close and find the settings in the registry, then load the
# module again and find them restored. Loads that fail end in the right
# message and leave the window usable. The image is never written.
. "$(dirname "$0")/lib.sh"
[ -x "$NATIVE_BIN/ffsample" ] || fail "no ffsample in $NATIVE_BIN"
work=$(mktemp -d /tmp/kovra-e2e.XXXXXX)
key='HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings'
# The size and switch stored here must not reach the tests that run later.
trap 'rm -rf "$work"; wine reg delete "$key" /f >/dev/null 2>&1 </dev/null' EXIT
"$NATIVE_BIN/ffsample" -b 256 "$work/phone.bin" >/dev/null || fail "ffsample failed"
"$NATIVE_BIN/ffsample" -b 256 --no-table "$work/notable.bin" >/dev/null || fail "ffsample failed"
sum_before=$(sha256sum "$work/phone.bin" | cut -d' ' -f1)
img=$(winepath -w "$work/phone.bin")
notable=$(winepath -w "$work/notable.bin")
prefix=$(winepath -w "$work/part")
wine reg delete "$key" /f >/dev/null 2>&1 </dev/null
out="$work/run1.log"

# The image: 256 blocks of 0x20000 (main data 0x2000000 bytes, then the
# spare data), the default layout scaled by ffsample: SBL1 block 0, MIBIB
# block 1 (the table), SBL2 2-3, ..., FOTA 0x88-0x8F, CACHE 0x90-0xAF and
# USERDATA 0xB0-0xFF erased. The popup saves row 1, MIBIB, in full: its main
# data 0x20000..0x3FFFF, then its spare data 0x2001000..0x2001FFF, 0x21000
# bytes in "part" + its offset in twelve hex digits + "_MIBIB.bin".
saved="$work/part000000020000_MIBIB.bin"
htc="Don't adjust HTC Partition for 4KB NAND Pages"
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
expect-no-box
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
list-dblclick 4
expect-button Read Partition5
# Invert marks every unmarked row and unmarks the others: from none, all;
# with row 4 unmarked, row 4 alone, which one more double click unmarks.
click Invert Selection
expect-button Read Selected
list-dblclick 4
click Invert Selection
list-dblclick 4
expect-button Read Partition5
click Invert Selection
expect-button Flash Selected
click &Show/Hide HEX
expect-window Partition HEX Contents View 
list-rclick 1
menu 3
file-dialog $prefix
expect-file 135168 $(winepath -w "$saved")
click Check for Blank
expect-memo COMPLETE!
expect-memo Following partitions are found to be completely blank:
expect-memo Partition: FOTA at 000000000110000000000000011FFFFF0000000000000088000000000000008F
expect-memo Partition: CACHE at 000000000120000000000000015FFFFF000000000000009000000000000000AF
expect-memo Partition: USERDATA at 00000000016000000000000001FFFFFF00000000000000B000000000000000FF
expect-no-memo Partition: MIBIB
expect-unchecked $htc
click $htc
expect-checked $htc
close
expect-memo Total quantity of listed partitions: 12
expect-button Flash Selected
expect-checked $htc
close
SCRIPT
cd "$WIN32_BIN"
run_wine "$out" 200 kovra-host.exe --no-centre-check --shows 2 --script "$(winepath -w "$work/session.txt")" QualcommTool.dll
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "the session failed (exit $rc)"
grep -q '^ok   every script step held' "$out" || fail "the script did not run to its end"

# The partition saved through the popup: exactly the one file, its main
# data, then its spare data, straight from the image.
[ "$(cd "$work" && ls part*)" = "$(basename "$saved")" ] || fail "the popup's save wrote: $(cd "$work" && ls part*)"
[ "$(stat -c %s "$saved")" = $((0x21000)) ] || fail "$saved holds $(stat -c %s "$saved") bytes"
cmp <(tail -c +$((0x20000 + 1)) "$work/phone.bin" | head -c $((0x20000))) \
    <(head -c $((0x20000)) "$saved") || fail "main data of $saved differs from the image"
cmp <(tail -c +$((0x2001000 + 1)) "$work/phone.bin" | head -c $((0x1000))) \
    <(tail -c +$((0x20000 + 1)) "$saved") || fail "spare data of $saved differs from the image"

# The settings, as the window stored them.
query() { wine reg query "$key" /v "$1" 2>/dev/null </dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {sub(/^ *[^ ]+ +REG_SZ +/, ""); print}'; }
[ "$(query SOURCE_FILE)" = "\"$img\"" ] || fail "SOURCE_FILE is '$(query SOURCE_FILE)'"
[ "$(query ADJUST_4KB)" = '"-1"' ] || fail "ADJUST_4KB is '$(query ADJUST_4KB)'"
[ "$(query HEADER00_WIDTH4)" = '"2000"' ] || fail "HEADER00_WIDTH4 is '$(query HEADER00_WIDTH4)'"
for k in FORM_X FORM_Y FORM_W FORM_H HEXFORM_X HEXFORM_Y HEXFORM_W HEXFORM_H; do
  # One read: on a mismatch the message shows all that reg printed for it.
  raw=$(wine reg query "$key" /v $k 2>&1 </dev/null; echo "(exit $?)")
  v=$(printf '%s\n' "$raw" | tr -d '\r' | awk -v n=$k '$1 == n {sub(/^ *[^ ]+ +REG_SZ +/, ""); print}')
  [[ $v =~ ^\"-?[0-9]+\"$ ]] || fail "$k is '$v'; reg printed: $(printf '%s' "$raw" | cat -A)"
done

# A new load of the module restores the path, the switch and the size.
wine reg add "$key" /v FORM_W /t REG_SZ /d '"1100"' /f >/dev/null 2>&1 </dev/null
wine reg add "$key" /v FORM_H /t REG_SZ /d '"700"' /f >/dev/null 2>&1 </dev/null
cat > "$work/again.txt" <<SCRIPT
timeout 15000
expect-text 1101 $img
expect-size 1100 700
expect-checked $htc
click &Make Partitions from File
expect-memo Total quantity of listed partitions: 12
SCRIPT
run_wine "$work/run2.log" 120 kovra-host.exe --script "$(winepath -w "$work/again.txt")" QualcommTool.dll
rc=$?
cat "$work/run2.log"
[ $rc -eq 0 ] || fail "the second session failed (exit $rc)"
grep -q 'ok   expect-size .*1100 700' "$work/run2.log" || fail "the restored size was not checked"
grep -q "ok   expect-checked $htc" "$work/run2.log" || fail "the restored HTC switch was not checked"

[ "$(sha256sum "$work/phone.bin" | cut -d' ' -f1)" = "$sum_before" ] || fail "the user's image changed"
echo "mainwindow_e2e: every step held"
