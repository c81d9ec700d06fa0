#!/usr/bin/env bash
# The native tests built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets in the same tree
# (build/asan: one compile of the core serves both): ctest runs the tests and
# replays every target's seeds and saved reproducers, then each target runs
# on new inputs for a few seconds.
# Needs clang and libclang-rt-14-dev (scripts/deps.sh installs them).
#
# Usage: scripts/sanitize-and-fuzz.sh [SECONDS_PER_TARGET]   (default 15: about a minute)
# ASAN_DIR overrides the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_PER_TARGET=${1:-15}
ASAN_DIR=${ASAN_DIR:-$ROOT/build/asan}
JOBS=$(nproc)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
CLANG=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo)

echo "== native tests and fuzz replays with AddressSanitizer and UndefinedBehaviorSanitizer ($ASAN_DIR)"
cmake -S "$ROOT" -B "$ASAN_DIR" -G Ninja "${CLANG[@]}" -DKOVRA_SANITIZE=ON -DKOVRA_FUZZ=ON > /dev/null
cmake --build "$ASAN_DIR" -j "$JOBS"
# Native tests only: a Windows build folder, if one was configured, is not ours to run.
(cd "$ASAN_DIR" && ctest --output-on-failure --no-tests=error -j "$JOBS" --timeout 600 -E '^(wine|wine64|machine)\.')

echo "== fuzz targets, ${SECONDS_PER_TARGET}s each ($ASAN_DIR)"
# The targets the build made, from the one list it keeps (tests/fuzz/CMakeLists.txt).
mapfile -t TARGETS < "$ASAN_DIR/fuzz-targets.txt"
[ ${#TARGETS[@]} -gt 0 ] || { echo "no fuzz targets listed in $ASAN_DIR/fuzz-targets.txt" >&2; exit 1; }
echo "targets: ${TARGETS[*]}"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kovra-fuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
"$ASAN_DIR/bin/make_fuzz_seeds" "$WORK/seeds"
for t in "${TARGETS[@]}"; do
  [ -n "$(ls -A "$WORK/seeds/$t" 2>/dev/null)" ] || { echo "fuzz_$t: make_fuzz_seeds wrote no seeds for it" >&2; exit 1; }
  corpus=("$WORK/seeds/$t")
  [ -d "tests/fuzz/regressions/$t" ] && corpus+=("tests/fuzz/regressions/$t")
  mkdir -p "$WORK/new/$t"
  echo "-- fuzz_$t"
  # A finding stops the run with its reproducer in $ASAN_DIR/artifacts; keep
  # it under tests/fuzz/regressions/<target>/ once fixed.
  mkdir -p "$ASAN_DIR/artifacts"
  "$ASAN_DIR/bin/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -timeout=25 -rss_limit_mb=2048 \
    -artifact_prefix="$ASAN_DIR/artifacts/$t-" "$WORK/new/$t" "${corpus[@]}" > "$WORK/$t.log" 2>&1 ||
    { tail -n 40 "$WORK/$t.log"; echo "fuzz_$t: finding saved under $ASAN_DIR/artifacts" >&2; exit 1; }
  grep -E '^Done|^#[0-9]+.*DONE' "$WORK/$t.log" | tail -n 1
done
echo "== sanitizers and fuzzers clean"
