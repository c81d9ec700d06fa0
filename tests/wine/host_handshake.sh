# The real DLL in our host under Wine: handshake, descriptor, identity,
# information block, centring, memo and gauge handed over, five showings,
# then FreeLibrary.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# The designed size is checked: no size stored by an earlier session.
wine reg delete 'HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings' /f >/dev/null 2>&1 </dev/null
cd "$WIN32_BIN"
run_wine "$out" 120 kovra-host.exe --close-after 800 --shows 5 QualcommTool.dll
rc=$?
cat "$out"
[ $rc -eq 0 ] || fail "kovra-host exited with $rc"
# Prove the scripted steps ran: both showings and the final tally.
grep -q '^ok   the same main window is shown again' "$out" || fail "the second showing never happened"
grep -q '^ok   main window centred over the host' "$out" || fail "the centring was not checked"
grep -qE '^[0-9]+ checks, 0 failed' "$out" || fail "no tally from the host"
! grep -q '^FAIL' "$out" || fail "a check failed"
