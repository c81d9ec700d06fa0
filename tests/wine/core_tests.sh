# The core's unit tests as a 32-bit Windows program.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 280 core_tests.exe --gtest_brief=1
rc=$?
tail -n 30 "$out"
[ $rc -eq 0 ] || fail "core_tests.exe exited with $rc"
grep -q '\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '\[  SKIPPED \]' "$out" || fail "tests were skipped: every check must run"
