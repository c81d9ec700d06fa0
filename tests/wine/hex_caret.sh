# The hex panes' caret seen on screen, and presses whose mouse capture
# another window takes, in real windows under Wine.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 hex_caret_wintest.exe
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "hex_caret_wintest.exe exited with $rc"
# A program that never started prints no PASSED line.
grep -q '^\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
