# The real main window under the keyboard and the window manager under Wine: Esc and Tab in the log, Enter on a button, double clicks, focus and activation, the list's keyboard popup.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 main_window_keys_wintest.exe
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "main_window_keys_wintest.exe exited with $rc"
# A program that never started prints no PASSED line.
grep -q '^\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
