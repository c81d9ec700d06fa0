# The host services on the real 32-bit ABI: the module's adapter against
# stand-in callbacks, and against our host's services and simulated device.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
run_wine "$out" 120 host_services_wintest.exe --gtest_brief=1
rc=$?
tail -n 30 "$out"
[ $rc -eq 0 ] || fail "host_services_wintest.exe exited with $rc"
grep -q '\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
