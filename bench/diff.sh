#!/usr/bin/env bash
# fullflash diff against cmp on page-cached images of 528 MiB (512 MiB of
# main data), with 0x20000-byte and with 0x4000-byte blocks: identical images,
# and images that differ only in their last block (cmp reads everything in
# both). Each time is the median of RUNS runs, the two programs taken in turn
# so that both see the same machine state. Peak memory is measured on the
# large images and on images an eighth of their size: it must not grow.
#   bench/diff.sh [NATIVE_BIN_DIR] [WORK_DIR]      (RUNS=7 by default)
# Target: diff / cmp <= 1.3; peak memory the same for both sizes (within
# 1 MiB) and under 32 MiB.
set -u
BIN=$(cd "${1:-$(dirname "$0")/../build/native/bin}" && pwd) || exit 1
WORK=${2:-$(mktemp -d "${TMPDIR:-/tmp}/ff-diff-bench.XXXXXX")}
RUNS=${RUNS:-7}
TARGET=1.3
FF="$BIN/fullflash"
mkdir -p "$WORK"
cd "$WORK" || exit 1
over=0

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# pair A B: cmp and fullflash diff in turn, RUNS times; prints "cmp_ms diff_ms".
pair() {
  local i t0 t1 base=() ours=()
  for ((i = 0; i < RUNS; i++)); do
    t0=$(now); cmp "$1" "$2" > /dev/null 2>&1; t1=$(now); base+=($((t1 - t0)))
    t0=$(now); "$FF" diff "$1" "$2" > /dev/null 2>&1; t1=$(now); ours+=($((t1 - t0)))
  done
  printf '%s\n' "${base[@]}" | median | awk '{ printf "%.1f ", $1 / 1e6 }'
  printf '%s\n' "${ours[@]}" | median | awk '{ printf "%.1f\n", $1 / 1e6 }'
}
peak_kib() { /usr/bin/time -f %M "$FF" diff "$1" "$2" 2>&1 > /dev/null | tail -n 1; }
report() {   # name cmp_ms diff_ms
  local ratio verdict
  ratio=$(awk -v a="$3" -v b="$2" 'BEGIN { printf "%.2f", a / b }')
  verdict=$(awk -v r="$ratio" -v t="$TARGET" 'BEGIN { print (r <= t) ? "ok" : "OVER" }')
  [ "$verdict" = ok ] || over=1
  printf '  %-30s cmp %8s ms   diff %8s ms   ratio %5s (target %s)  %s\n' "$1" "$2" "$3" "$ratio" "$TARGET" "$verdict"
}
# flip_last FILE: inverts one byte in the main data of the image's last block.
flip_last() {
  python3 -c 'import sys
g = {"2k": 0x20000, "512": 0x4000}[sys.argv[2]]; blocks = int(sys.argv[3])
f = open(sys.argv[1], "r+b"); at = blocks * g - g // 2
f.seek(at); x = f.read(1); f.seek(at); f.write(bytes([x[0] ^ 0xFF]))' "$@"
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for geometry in 2k 512; do
  if [ "$geometry" = 2k ]; then blocks=4096 label="0x20000-byte blocks"; else blocks=32768 label="0x4000-byte blocks"; fi
  "$BIN/ffsample" a.bin -g "$geometry" -b "$blocks" || exit 1
  cp a.bin b.bin
  cp a.bin c.bin
  flip_last c.bin "$geometry" "$blocks"
  "$BIN/ffsample" small-a.bin -g "$geometry" -b $((blocks / 8)) || exit 1
  cp small-a.bin small-b.bin
  for f in a.bin b.bin c.bin; do cat "$f" > /dev/null; done
  "$FF" diff a.bin b.bin > /dev/null || { echo "diff of identical images did not exit 0" >&2; exit 1; }
  "$FF" diff a.bin c.bin > /dev/null; [ $? -eq 3 ] || { echo "diff of different images did not exit 3" >&2; exit 1; }
  echo "$label, $blocks blocks, images of $(stat -c %s a.bin) bytes, median of $RUNS:"
  read -r base ours < <(pair a.bin b.bin)
  report "identical images" "$base" "$ours"
  read -r base ours < <(pair a.bin c.bin)
  report "last block differs" "$base" "$ours"
  large=$(peak_kib a.bin b.bin) small=$(peak_kib small-a.bin small-b.bin)
  verdict=$(awk -v l="$large" -v s="$small" 'BEGIN { print (l - s <= 1024 && l < 32768) ? "ok" : "OVER" }')
  [ "$verdict" = ok ] || over=1
  printf '  %-30s %6s KiB (images of %s blocks: %s KiB)  %s\n' "peak memory (max RSS)" "$large" $((blocks / 8)) "$small" "$verdict"
  rm -f a.bin b.bin c.bin small-a.bin small-b.bin
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
[ $# -ge 2 ] || { cd / && rm -rf "$WORK"; }
[ $over -eq 0 ] && echo "all within targets" || echo "some figures are OVER their target"
exit $over
