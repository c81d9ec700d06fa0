#!/usr/bin/env bash
# Export benchmarks on generated images of 528 MiB (512 MiB of main data),
# once with 0x20000-byte and once with 0x4000-byte blocks. Every time is the
# median of RUNS runs on page-cached files, taken in turn with its baseline
# (cp or cat of the same image) so that both see the same machine state.
#   bench/run.sh [NATIVE_BIN_DIR] [WORK_DIR]     (RUNS=7 by default, at least 5)
# Targets, on both geometries: save-image and save-all --kind full at most
# 1.15 times cp; blank at most 1.3 times cat; peak memory under 32 MiB; the
# blank check reading at most one block of main data and its spare data of a
# partition that holds data.
# Exit 0 when every figure is within its target, 1 when one is over, 2 when a
# command failed (a failed command is never timed as a fast one).
set -u
BIN=${1:-$(dirname "$0")/../build/native/bin}
WORK=${2:-$(mktemp -d "${TMPDIR:-/tmp}/ff-bench.XXXXXX")}
RUNS=${RUNS:-7}
FF="$BIN/fullflash"
PEAK_LIMIT_KIB=32768
[ "$RUNS" -ge 5 ] 2>/dev/null || { echo "RUNS must be at least 5 (got $RUNS)" >&2; exit 2; }
mkdir -p "$WORK/out"
cd "$WORK" || exit 2
over=0

KEEP_WORK=$([ $# -ge 2 ] && echo 1 || echo 0)
cleanup() { cd / && { [ "$KEEP_WORK" = 1 ] || rm -rf "$WORK"; }; }
# failed WHAT RC: a command did not do its work; its time would mean nothing.
failed() {
  echo "FAILED: $1 (exit code $2):" >&2
  sed 's/^/  /' "$WORK/last.err" >&2
  cleanup
  exit 2
}
now() { date +%s%N; }
# timed_ns CMD...: runs CMD (output discarded, errors kept in last.err) and
# sets ns to its time; a command that fails ends the benchmark.
timed_ns() {
  local t0 t1 rc
  t0=$(now)
  "$@" > /dev/null 2> "$WORK/last.err"
  rc=$?
  t1=$(now)
  [ $rc -eq 0 ] || failed "$*" $rc
  ns=$((t1 - t0))
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# pair BASE_CMD... -- OURS_CMD...: runs the two in turn RUNS times and sets
# base_ms and ours_ms to the median time of each.
pair() {
  local base=() ours=() seen=0 baseTimes=() oursTimes=() i
  for a in "$@"; do
    if [ "$a" = -- ] && [ $seen -eq 0 ]; then seen=1; continue; fi
    if [ $seen -eq 0 ]; then base+=("$a"); else ours+=("$a"); fi
  done
  for ((i = 0; i < RUNS; i++)); do
    rm -rf out && mkdir out
    timed_ns "${base[@]}"; baseTimes+=("$ns")
    rm -rf out && mkdir out
    timed_ns "${ours[@]}"; oursTimes+=("$ns")
  done
  base_ms=$(awk -v t="$(median "${baseTimes[@]}")" 'BEGIN { printf "%.1f", t / 1e6 }')
  ours_ms=$(awk -v t="$(median "${oursTimes[@]}")" 'BEGIN { printf "%.1f", t / 1e6 }')
}
# peak_kib CMD...: the command's maximum resident set in KiB.
peak_kib() {
  local rc
  /usr/bin/time -o "$WORK/peak.txt" -f %M "$@" > /dev/null 2> "$WORK/last.err"
  rc=$?
  [ $rc -eq 0 ] || failed "$*" $rc
  peak=$(tail -n 1 "$WORK/peak.txt")
}
cat_to_null() { cat "$1" > /dev/null; }

# report NAME BASE_NAME TARGET (uses base_ms, ours_ms, peak)
report() {
  local ratio verdict
  ratio=$(awk -v a="$ours_ms" -v b="$base_ms" 'BEGIN { printf "%.2f", a / b }')
  verdict=$(awk -v r="$ratio" -v t="$3" -v m="$peak" -v l="$PEAK_LIMIT_KIB" \
    'BEGIN { print (r <= t && m < l) ? "ok" : "OVER" }')
  [ "$verdict" = ok ] || over=1
  printf '  %-24s %8s ms  %-16s %8s ms  ratio %5s (target %s)  peak %6s KiB  %s\n' \
    "$1" "$ours_ms" "$2" "$base_ms" "$ratio" "$3" "$peak" "$verdict"
}

echo "median of $RUNS runs each; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for geometry in 2k 512; do
  if [ "$geometry" = 2k ]; then blocks=4096 label="0x20000-byte blocks"
  else blocks=32768 label="0x4000-byte blocks"; fi
  "$BIN/ffsample" data.bin -g "$geometry" -b "$blocks" > /dev/null 2> last.err || failed "ffsample data.bin" $?
  "$BIN/ffsample" blank.bin -g "$geometry" -b "$blocks" -c blank > /dev/null 2> last.err || failed "ffsample blank.bin" $?
  "$BIN/ffsample" first.bin -g "$geometry" -b "$blocks" -c first > /dev/null 2> last.err || failed "ffsample first.bin" $?
  for f in data.bin blank.bin first.bin; do cat "$f" > /dev/null; done
  echo "$label, $blocks blocks, image $(stat -c %s data.bin) bytes:"

  pair cp data.bin out/copy.bin -- "$FF" save-image data.bin out/copy.bin
  # A well-formed image is saved as an identical file: a fast wrong copy
  # must not pass for a fast one.
  cmp -s data.bin out/copy.bin || { echo "save-image wrote a file that differs from the image" > last.err; failed "$FF save-image data.bin out/copy.bin" 0; }
  peak_kib "$FF" save-image data.bin out/copy.bin
  report "save-image" "cp" 1.15
  pair cp data.bin out/copy.bin -- "$FF" save-all data.bin --kind full --prefix out/p
  peak_kib "$FF" save-all data.bin --kind full --prefix out/p
  report "save-all --kind full" "cp" 1.15
  pair cat_to_null blank.bin -- "$FF" blank blank.bin
  peak_kib "$FF" blank blank.bin
  report "blank (all blank)" "cat > /dev/null" 1.3
  pair cat_to_null first.bin -- "$FF" blank first.bin
  peak_kib "$FF" blank first.bin
  report "blank (data everywhere)" "cat > /dev/null" 1.3
  # export_reads: exit 1 when a partition with data cost more than one block
  # of main data and its spare data, 2 when it could not run.
  printf '  %-24s ' "blank reads (data)"
  "$BIN/export_reads" first.bin 2> last.err
  rc=$?
  [ $rc -le 1 ] || failed "$BIN/export_reads first.bin" $rc
  [ $rc -eq 0 ] || { over=1; echo "  blank reads (data): OVER one block per partition"; }
  # On the all-blank image only the table's partition holds data, not
  # necessarily in its first block: the limit does not apply there.
  printf '  %-24s ' "blank reads (all blank)"
  "$BIN/export_reads" blank.bin 2> last.err
  rc=$?
  [ $rc -le 1 ] || failed "$BIN/export_reads blank.bin" $rc
  rm -rf data.bin blank.bin first.bin out
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
cleanup
[ $over -eq 0 ] && echo "all within targets" || echo "some figures are OVER their target"
exit $over
