# The test command on machines of both kinds: the 32-bit probe answers as the
# machine does and says why when it answers no; with the probe saying no
# (simulated here, as on every machine) each 32-bit Wine test is skipped
# without starting Wine while a test that needs no Wine still runs, and ctest
# reports the skipped ones as skipped, never as passed; the x86-64 tests are
# never skipped; the summary line names what was skipped and why.
#
# $1: the native build folder (its ctest registration is checked), $2: the
# 32-bit Windows build's bin folder, $3: the x86-64 one's (may be empty).
set -u
BUILD=$(cd "$1" && pwd)
WIN32_BIN=$2
WIN64_BIN=${3:-}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset KOVRA_SIMULATE_NO32

# 1. The simulated answer: no, with a reason that says it is simulated.
out=$(KOVRA_SIMULATE_NO32=1 bash "$ROOT/scripts/machine.sh")
rc=$?
echo "simulated: $out"
[ $rc -eq 1 ] || fail "the simulated probe exited $rc, not 1"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "the reason is not one line"
case $out in *simulated*KOVRA_SIMULATE_NO32=1*) ;; *) fail "the simulated reason does not say so: $out" ;; esac

# 2. The real answer agrees with what Wine's own 32-bit server does here.
out=$(bash "$ROOT/scripts/machine.sh")
rc=$?
echo "this machine: $out"
if [ -x /usr/lib/wine/wineserver32 ]; then
  if /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
    [ $rc -eq 0 ] || fail "wineserver32 runs here, yet the probe says: $out"
  else
    [ $rc -eq 1 ] || fail "wineserver32 does not run here, yet the probe says: $out"
    case $out in *"Exec format error"*) ;; *) fail "the reason does not quote the system: $out" ;; esac
  fi
fi

# 3. A kernel that refuses the probe's program: an ELF for a machine this
#    kernel does not run, so the refusal is real. The answer is no, with the
#    system's words in the reason.
out=$(bash -c '
  . "$1/scripts/machine.sh"
  kovra_write_probe_elf() {  # an ELF32 header naming machine 0x3E: refused by every kernel
    printf "\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x3e\x00\x01\x00\x00\x00"
    printf "\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00"
    printf "\x00\x00\x00\x00"
  }
  kovra_probe_32bit
  echo "$KOVRA_32BIT|$KOVRA_NO32_REASON"' _ "$ROOT")
echo "refused: $out"
case $out in
  "no|this kernel runs no 32-bit programs: a 32-bit program gave \"Exec format error\""*) ;;
  *) fail "a refused 32-bit program gave: $out" ;;
esac

# 4. Every 32-bit Wine test script, with the probe saying no: exit 77 at once
#    with the reason as its first line, and no Wine program started. A script
#    that needs no Wine runs as usual.
mkdir -p "$work/fake"
for tool in wine wine64 winepath wineboot wineserver; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\nexit 1\n' "$tool" "$work" >"$work/fake/$tool"
  chmod +x "$work/fake/$tool"
done
checked=0
for script in "$ROOT"/tests/wine/*.sh; do
  name=$(basename "$script" .sh)
  [ "$name" = lib ] && continue
  out=$(cd "$work" && PATH="$work/fake:$PATH" KOVRA_SIMULATE_NO32=1 KOVRA_WINE_ARCH=win32 WINEPREFIX=$work/none \
        DISPLAY=:none bash "$script" "$WIN32_BIN" "$BUILD/bin" 2>&1)
  rc=$?
  if grep -q '^kovra_needs_wine=no' "$script"; then
    [ $rc -eq 0 ] || { echo "$out"; fail "$name needs no Wine but gave exit $rc with the probe saying no"; }
    echo "runs without 32-bit support: $name"
  else
    [ $rc -eq 77 ] || { echo "$out"; fail "$name gave exit $rc, not 77, with the probe saying no"; }
    [ "$(printf '%s\n' "$out" | head -n 1)" = "SKIP: 32-bit programs cannot run here (simulated: KOVRA_SIMULATE_NO32=1)" ] ||
      fail "$name did not print the reason first: $out"
    checked=$((checked + 1))
  fi
done
[ ! -e "$work/calls" ] || fail "Wine was started although the probe said no: $(cat "$work/calls")"
[ $checked -gt 0 ] || fail "no 32-bit test script was found"
echo "skipped at once with the reason: $checked scripts"

# 5. The probe only ever skips 32-bit tests: an x86-64 test that cannot run
#    fails, and where 32-bit programs run a 32-bit test whose program fails
#    fails too.
out=$(KOVRA_SIMULATE_NO32=1 KOVRA_WINE_ARCH=win64 KOVRA_WINE64_PREFIX=$work/none DISPLAY=:none \
      bash "$ROOT/tests/wine/core_tests.sh" "$work/no-such-folder" "$BUILD/bin" 2>&1)
rc=$?
[ $rc -eq 1 ] || { echo "$out"; fail "an x86-64 test without its build gave exit $rc, not 1"; }
if bash "$ROOT/scripts/machine.sh" >/dev/null; then
  out=$(cd "$work" && PATH="$work/fake:$PATH" KOVRA_WINE_ARCH=win32 WINEPREFIX=$work/none DISPLAY=:none \
        bash "$ROOT/tests/wine/core_tests.sh" "$WIN32_BIN" "$BUILD/bin" 2>&1)
  rc=$?
  [ $rc -eq 1 ] || { echo "$out"; fail "a 32-bit test whose program failed gave exit $rc, not 1"; }
  grep -q "core_tests.exe" "$work/calls" || fail "the 32-bit test did not start its program"
  rm -f "$work/calls"
fi

# 6. The registration: exactly the 32-bit tests that start Wine may be skipped
#    by exit code (SKIP_RETURN_CODE 77); an x86-64 run exists for each of them
#    but the 32-bit host interface's own and the 32-bit release package's.
#    (GoogleTest cases, each its own ctest test, are reported as skipped only
#    when they call GTEST_SKIP.)
ctest --test-dir "$BUILD" --show-only=json-v1 >"$work/tests.json" 2>/dev/null || fail "ctest --show-only failed"
cat >"$work/list.cmake" <<'CMAKE'
file(READ ${JSON} json)
string(JSON n LENGTH "${json}" tests)
math(EXPR last "${n} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${json}" tests ${i} name)
  set(skip "")
  string(JSON np ERROR_VARIABLE err LENGTH "${json}" tests ${i} properties)
  if(NOT err AND np GREATER 0)
    math(EXPR plast "${np} - 1")
    foreach(j RANGE ${plast})
      string(JSON pname GET "${json}" tests ${i} properties ${j} name)
      if(pname STREQUAL "SKIP_RETURN_CODE")
        string(JSON skip GET "${json}" tests ${i} properties ${j} value)
      endif()
    endforeach()
  endif()
  message("${name}\t${skip}")
endforeach()
CMAKE
cmake -DJSON="$work/tests.json" -P "$work/list.cmake" >"$work/tests.txt" 2>&1 || { cat "$work/tests.txt"; fail "cannot read the test list"; }
wine32=0
while IFS=$'\t' read -r name skip; do
  case $name in
    wine.*)
      script="$ROOT/tests/wine/${name#wine.}.sh"
      [ -f "$script" ] || fail "$name has no script"
      if grep -q '^kovra_needs_wine=no' "$script"; then
        [ -z "$skip" ] || fail "$name needs no Wine but may be skipped"
      else
        [ "$skip" = 77 ] || fail "$name is not reported as skipped when it cannot run (SKIP_RETURN_CODE '$skip')"
      fi
      wine32=$((wine32 + 1))
      if [ -n "$WIN64_BIN" ] && [ "$name" != wine.host_services ] && [ "$name" != wine.package ]; then
        grep -q "^wine64.${name#wine.}"$'\t' "$work/tests.txt" || fail "$name has no x86-64 run"
      fi
      ;;
    *) [ -z "$skip" ] || fail "$name may be skipped, but only 32-bit Wine tests may" ;;
  esac
done <"$work/tests.txt"
[ $wine32 -gt 0 ] || fail "no 32-bit Wine test is registered"
echo "registered: $wine32 32-bit Wine tests, $(grep -c '^wine64\.' "$work/tests.txt") x86-64 ones"

# 7. ctest itself: a skipped 32-bit test is counted as skipped, not passed, a
#    failing one still fails the run, and the summary line names the skipped
#    one and the reason.
mkdir -p "$work/proj"
cat >"$work/proj/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(probe NONE)
enable_testing()
add_test(NAME wine.host_handshake COMMAND bash $ROOT/tests/wine/host_handshake.sh $work)
set_tests_properties(wine.host_handshake PROPERTIES SKIP_RETURN_CODE 77
                     ENVIRONMENT "KOVRA_SIMULATE_NO32=1;KOVRA_WINE_ARCH=win32")
add_test(NAME other.passes COMMAND true)
add_test(NAME other.fails COMMAND sh -c "exit 77")
CMAKE
cmake -S "$work/proj" -B "$work/proj/b" >/dev/null 2>&1 || fail "the ctest project did not configure"
(cd "$work/proj/b" && ctest --output-junit "$work/junit.xml" >"$work/ctest.txt" 2>&1)
rc=$?
cat "$work/ctest.txt"
[ $rc -ne 0 ] || fail "ctest passed a run with a failing test"
grep -q 'wine.host_handshake .*\*\*\*Skipped' "$work/ctest.txt" || fail "ctest did not report the 32-bit test as skipped"
grep -q 'other.fails .*Failed' "$work/ctest.txt" || fail "an exit 77 outside the 32-bit tests was not a failure"
line=$(bash "$ROOT/scripts/skip-summary.sh" "$work/junit.xml")
echo "summary: $line"
[ "$line" = "Skipped tests: 1 (wine.host_handshake): 32-bit programs cannot run here (simulated: KOVRA_SIMULATE_NO32=1)" ] ||
  fail "the summary line is '$line'"
(cd "$work/proj/b" && ctest -R other.passes --output-junit "$work/none.xml" >/dev/null 2>&1)
line=$(bash "$ROOT/scripts/skip-summary.sh" "$work/none.xml")
[ "$line" = "Skipped tests: none, every registered test ran." ] || fail "with nothing skipped the summary is '$line'"
echo "probe: every check held"
