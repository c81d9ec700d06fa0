# The module's unload under Wine with a poisoning allocator: nothing read or written after it was freed, nothing left that refers to the window.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 module_unload_wintest.exe
rc=$?
cat "$out"
# A read of freed memory crashes the program: no PASSED line, a nonzero exit.
[ $rc -eq 0 ] || fail "module_unload_wintest.exe exited with $rc"
grep -q '^\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
