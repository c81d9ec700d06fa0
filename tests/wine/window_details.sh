# The gauge's progress-bar messages and font, and a restored hex window position on no monitor, under Wine.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 window_details_wintest.exe
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "window_details_wintest.exe exited with $rc"
# A program that never started prints no PASSED line.
grep -q '^\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
