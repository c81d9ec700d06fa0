# Addresses the host keeps in 32 bits: handed over whole where they fit,
# refused (never truncated) where they do not.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 host_address_wintest.exe
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "host_address_wintest.exe exited with $rc"
grep -q '^\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '^\[  FAILED  \]' "$out" || fail "a test failed"
