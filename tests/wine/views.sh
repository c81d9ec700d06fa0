# The partition list and the hex window as real windows under Wine, fed by a
# generated image; a screenshot of both is left beside the programs.
. "$(dirname "$0")/lib.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
cd "$WIN32_BIN"
rm -f views.ready views.done views_screenshot.png
KOVRA_VIEWS_HOLD=1 timeout -k 5 180 wine views_wintest.exe --gtest_brief=1 >"$out" 2>&1 </dev/null &
pid=$!
# The program says when both windows are drawn; no window, no screenshot.
for _ in $(seq 1 600); do
  [ -f views.ready ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -f views.ready ]; then
  kill "$pid" 2>/dev/null
  wait "$pid"
  cat "$out"
  fail "the windows never appeared"
fi
import -window root views_screenshot.png || { touch views.done; wait "$pid"; fail "no screenshot"; }
touch views.done
wait "$pid"
rc=$?
rm -f views.done
tail -n 30 "$out"
echo "screenshot: $WIN32_BIN/views_screenshot.png"
[ $rc -eq 0 ] || fail "views_wintest.exe exited with $rc"
grep -q '\[  PASSED  \]' "$out" || fail "no PASSED line: the tests did not run"
! grep -q '\[  FAILED  \]' "$out" || fail "a test failed"
[ -s views_screenshot.png ] || fail "the screenshot is empty"
