# Our host with a simulated NAND device: it creates an erased device file,
# takes an existing one of the chip's size, refuses one of another size, and
# still passes every handshake check; its script runner proves each step and
# fails the run on a step that cannot happen.
. "$(dirname "$0")/lib.sh"
work=$(mktemp -d)
out=$work/out.txt
trap 'rm -rf "$work"' EXIT
# The window's designed size is checked: no size stored by an earlier session.
wine reg delete 'HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings' /f >/dev/null 2>&1 </dev/null
cd "$WIN32_BIN"
wpath() { winepath -w "$1" 2>/dev/null; }
dev=$work/device.bin
chip=512:0x4000:64   # 1 MiB of main data: a 0x108000-byte device file

# 1. A missing device file is created erased; the handshake checks all hold.
run_wine "$out" 120 kovra-host.exe --device "$(wpath "$dev")" --chip $chip --close-after 800 --shows 2 QualcommTool.dll
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "kovra-host with a device exited with $rc"
grep -q '^kovra-host: created an erased device' "$out" || fail "no word of the new device file"
grep -q '^ok   the same main window is shown again' "$out" || fail "the second showing never happened"
grep -qE '^[0-9]+ checks, 0 failed' "$out" || fail "no tally from the host"
! grep -q '^FAIL' "$out" || fail "a check failed"
[ "$(stat -c %s "$dev")" = 1081344 ] || fail "the device file is not 0x108000 bytes"
head -c 1081344 /dev/zero | tr '\0' '\377' | cmp -s - "$dev" || fail "the new device is not erased"

# 2. An existing device (a sample image of the same chip) is served as it is.
[ -x "$NATIVE_BIN/ffsample" ] || fail "no ffsample in '$NATIVE_BIN': pass the native bin folder"
"$NATIVE_BIN/ffsample" -g 512 -b 64 "$work/sample.bin" >/dev/null || fail "ffsample failed"
cp "$work/sample.bin" "$work/before.bin"
run_wine "$out" 60 kovra-host.exe --device "$(wpath "$work/sample.bin")" --chip $chip --close-after 300 QualcommTool.dll
rc=$?
[ $rc -eq 0 ] || { cat "$out"; fail "kovra-host with a sample device exited with $rc"; }
grep -qE '^[0-9]+ checks, 0 failed' "$out" || { cat "$out"; fail "no tally from the host with a sample device"; }
! grep -q 'created an erased device' "$out" || fail "an existing device was recreated"
cmp -s "$work/sample.bin" "$work/before.bin" || fail "showing the plug-in changed the device"

# 3. A device file of another size than the chip's is refused.
run_wine "$out" 60 kovra-host.exe --device "$(wpath "$dev")" --chip 2048:0x20000:16 --close-after 300 QualcommTool.dll
rc=$?
[ $rc -eq 2 ] || { cat "$out"; fail "a device of the wrong size gave exit $rc, not 2"; }
grep -q 'device.bin holds 1081344 bytes' "$out" || { cat "$out"; fail "the refusal does not name the file and its size"; }

# 4. Options that make no sense are refused before anything is shown.
for args in "--chip $chip" "--slow 100" "--device $(wpath "$dev") --chip 1000:0x4000:64"; do
  run_wine "$out" 60 kovra-host.exe $args QualcommTool.dll
  rc=$?
  [ $rc -eq 2 ] || { cat "$out"; fail "kovra-host $args gave exit $rc, not 2"; }
done

# 5. A script: each step reports, the memo survives the closing, and the
#    end of the script ends the run.
cat >"$work/good.txt" <<'SCRIPT'
# the log memo is an Edit; what is typed must show up there
timeout 5000
wait 100
type Edit typed by the script
expect-memo typed by the script
close
expect-memo typed by the script
SCRIPT
run_wine "$out" 60 kovra-host.exe --device "$(wpath "$dev")" --chip $chip --shows 2 --script "$(wpath "$work/good.txt")" QualcommTool.dll
rc=$?
grep '^script' "$out"
[ $rc -eq 0 ] || { cat "$out"; fail "the good script exited with $rc"; }
for n in 2 3 4 5 6 7; do
  grep -q "^script: line $n: ok" "$out" || fail "script line $n did not report ok"
done

# 6. A step that cannot happen fails the run with exit code 1, quickly.
printf 'timeout 300\nclick No Such Button\nexpect-memo never reached\n' >"$work/bad.txt"
run_wine "$out" 60 kovra-host.exe --device "$(wpath "$dev")" --chip $chip --script "$(wpath "$work/bad.txt")" QualcommTool.dll
rc=$?
[ $rc -eq 1 ] || { cat "$out"; fail "the failing script exited with $rc, not 1"; }
grep -q '^script: line 2: FAIL click No Such Button' "$out" || { cat "$out"; fail "the failing step was not named"; }
! grep -q '^script: line 3' "$out" || fail "a step ran after the failure"

# 7. A script with an unknown action is refused up front, naming its line.
printf 'wait 10\npress OK\n' >"$work/typo.txt"
run_wine "$out" 60 kovra-host.exe --script "$(wpath "$work/typo.txt")" QualcommTool.dll
rc=$?
[ $rc -eq 2 ] || { cat "$out"; fail "the mistyped script gave exit $rc, not 2"; }
grep -q 'line 2: unknown action press' "$out" || { cat "$out"; fail "the mistyped line was not named"; }

# 8. A click is complete before the next step looks: a state that held only
#    before it fails the run, naming the step and what it saw; the state after
#    it holds at once.
printf 'timeout 1000\ntype 1101 %s\nclick &Make Partitions from File\nexpect-no-memo ERROR: Specified file does not exist!!!\n' \
  "$(wpath "$work/none.bin")" >"$work/before.txt"
run_wine "$out" 60 kovra-host.exe --script "$(wpath "$work/before.txt")" QualcommTool.dll
rc=$?
[ $rc -eq 1 ] || { cat "$out"; fail "a step that looked before the click's effect passed (exit $rc)"; }
grep -q '^script: line 4: FAIL expect-no-memo' "$out" || { cat "$out"; fail "the step looking too early was not named"; }
grep -q '^script:   the memo holds: ERROR: Specified file does not exist!!!' "$out" || { cat "$out"; fail "the failure does not say what it saw"; }
printf 'timeout 1000\ntype 1101 %s\nclick &Make Partitions from File\nexpect-last-line ERROR: Specified file does not exist!!!\nexpect-no-file %s\n' \
  "$(wpath "$work/none.bin")" "$(wpath "$work/none.bin")" >"$work/after.txt"
run_wine "$out" 60 kovra-host.exe --script "$(wpath "$work/after.txt")" QualcommTool.dll
rc=$?
[ $rc -eq 0 ] || { cat "$out"; fail "the state after the click did not hold (exit $rc)"; }

# 9. A file of the wrong size fails expect-file with the size it has.
printf 'timeout 300\nexpect-file 5 %s\n' "$(wpath "$dev")" >"$work/size.txt"
run_wine "$out" 60 kovra-host.exe --script "$(wpath "$work/size.txt")" QualcommTool.dll
rc=$?
[ $rc -eq 1 ] || { cat "$out"; fail "expect-file with a wrong size exited with $rc, not 1"; }
grep -q '^script:   the file holds 1081344 bytes' "$out" || { cat "$out"; fail "expect-file does not say the size it saw"; }
echo "host_device: all checks held"
