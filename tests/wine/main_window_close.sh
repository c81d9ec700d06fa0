# The real main window's closing under Wine: a WM_QUIT in its modal loop, and a close during a save or blank check.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 main_window_close_wintest.exe
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "main_window_close_wintest.exe exited with $rc"
# A program that never started prints no PASSED line.
grep -q '^\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
