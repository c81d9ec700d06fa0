#!/usr/bin/env bash
# The native tests built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (build/asan), then a short run of every fuzz
# target (build/fuzz): the seeds regenerated from the sample layouts and the
# saved reproducers replayed first, then new inputs for a few seconds each.
# Needs clang and libclang-rt-14-dev (scripts/deps.sh installs them).
#
# Usage: scripts/sanitize-and-fuzz.sh [SECONDS_PER_TARGET]   (default 15: about a minute)
# ASAN_DIR and FUZZ_DIR override the two build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_PER_TARGET=${1:-15}
ASAN_DIR=${ASAN_DIR:-$ROOT/build/asan}
FUZZ_DIR=${FUZZ_DIR:-$ROOT/build/fuzz}
JOBS=$(nproc)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
CLANG=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo)

echo "== native tests with AddressSanitizer and UndefinedBehaviorSanitizer ($ASAN_DIR)"
cmake -S "$ROOT" -B "$ASAN_DIR" -G Ninja "${CLANG[@]}" -DKOVRA_SANITIZE=ON > /dev/null
cmake --build "$ASAN_DIR" -j "$JOBS"
# Native tests only: a Windows build folder, if one was configured, is not ours to run.
(cd "$ASAN_DIR" && ctest --output-on-failure --no-tests=error -j "$JOBS" --timeout 600 -E '^(wine|wine64|machine)\.')

echo "== fuzz targets, ${SECONDS_PER_TARGET}s each ($FUZZ_DIR)"
cmake -S "$ROOT" -B "$FUZZ_DIR" -G Ninja "${CLANG[@]}" -DKOVRA_FUZZ=ON > /dev/null
cmake --build "$FUZZ_DIR" -j "$JOBS" --target fuzz_all
# The targets the build made, from the one list it keeps (tests/fuzz/CMakeLists.txt).
mapfile -t TARGETS < "$FUZZ_DIR/fuzz-targets.txt"
[ ${#TARGETS[@]} -gt 0 ] || { echo "no fuzz targets listed in $FUZZ_DIR/fuzz-targets.txt" >&2; exit 1; }
echo "targets: ${TARGETS[*]}"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kovra-fuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
"$FUZZ_DIR/bin/make_fuzz_seeds" "$WORK/seeds"
for t in "${TARGETS[@]}"; do
  [ -n "$(ls -A "$WORK/seeds/$t" 2>/dev/null)" ] || { echo "fuzz_$t: make_fuzz_seeds wrote no seeds for it" >&2; exit 1; }
  corpus=("$WORK/seeds/$t")
  [ -d "tests/fuzz/regressions/$t" ] && corpus+=("tests/fuzz/regressions/$t")
  mkdir -p "$WORK/new/$t"
  echo "-- fuzz_$t"
  # A finding stops the run with its reproducer in $FUZZ_DIR/artifacts; keep
  # it under tests/fuzz/regressions/<target>/ once fixed.
  mkdir -p "$FUZZ_DIR/artifacts"
  "$FUZZ_DIR/bin/fuzz_$t" -runs=0 "${corpus[@]}" > "$WORK/$t.replay.log" 2>&1 ||
    { cat "$WORK/$t.replay.log"; echo "fuzz_$t: a seed or reproducer fails" >&2; exit 1; }
  "$FUZZ_DIR/bin/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -timeout=25 -rss_limit_mb=2048 \
    -artifact_prefix="$FUZZ_DIR/artifacts/$t-" "$WORK/new/$t" "${corpus[@]}" > "$WORK/$t.log" 2>&1 ||
    { tail -n 40 "$WORK/$t.log"; echo "fuzz_$t: finding saved under $FUZZ_DIR/artifacts" >&2; exit 1; }
  grep -E '^Done|^#[0-9]+.*DONE' "$WORK/$t.log" | tail -n 1
done
echo "== sanitizers and fuzzers clean"
