#!/usr/bin/env bash
# fullflash hexdump, diff, replace and list --content on generated images of
# the three geometries, against bytes cut out of the images by hand and a
# reference written apart from the tool (inspect_reference.py).
set -u
BIN=${1:?native bin folder}
FF="$BIN/fullflash"
GEN="$BIN/ffsample"
HERE=$(cd "$(dirname "$0")" && pwd)
REF="$HERE/inspect_reference.py"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/ff-inspect.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_rc() { local want=$1; shift; "$@" > out.txt 2> err.txt; local rc=$?; [ $rc -eq "$want" ] || { fail "rc $rc (wanted $want): $*"; sed 's/^/  stderr: /' err.txt >&2; }; }
err_is() { printf '%s\n' "$1" | cmp -s - err.txt || { fail "stderr is not \"$1\""; sed 's/^/  stderr: /' err.txt >&2; }; }
same() { cmp -s "$1" "$2" || { fail "$3"; diff <(head -c 3000 "$1") <(head -c 3000 "$2") | head -10 >&2; }; }
range() { dd if="$1" iflag=skip_bytes,count_bytes skip=$(($2)) count=$(($3)) status=none; }

# --- list without --content: exactly what it printed before the new commands
# (outputs kept from that build), and not one byte of partition data read.
"$GEN" sample.bin && "$GEN" s512.bin -g 512 --blocks 2048 --trailing 100 &&
  "$GEN" s4k.bin -g 4k --blocks 128 -e 0:APPS:0:0x15 -e 0:HTC:0x15:0x20:0:first \
    -e 0:REST:0x35:0xFFFFFFFF:0:blank || exit 1
for pair in sample:2k s512:512 s4k:4k-htc; do
  img=${pair%%:*}.bin golden=$HERE/data/list-${pair#*:}
  expect_rc 0 "$FF" list "$img"
  same out.txt "$golden.txt" "list $img differs from before"
  expect_rc 0 "$FF" list --json "$img"
  same out.txt "$golden.json" "list --json $img differs from before"
done
# Every partition past the end of the file (the table, in block 0, is all
# there is): list prints the same rows as for the whole image, the load adds
# its too-small warning, and only --content reads, and fails at once.
"$GEN" whole.bin -b 64 -e 0:MIBIB:1:1 -e 0:BOOT:2:8 -e 0:DATA:10:20:0:blank || exit 1
head -c $((0x800 + 16 + 3 * 28)) whole.bin > table-only.bin
expect_rc 0 "$FF" list whole.bin
mv out.txt whole.txt
expect_rc 0 "$FF" list table-only.bin
grep -vx "WARNING!!! Image file is too small. It must be increased upto: 0x0020 blocks" out.txt > rest.txt
same rest.txt whole.txt "list of the table alone"
[ "$(wc -l < out.txt)" = $(($(wc -l < whole.txt) + 1)) ] || fail "list of the table alone: the warning"
expect_rc 0 "$FF" list --json table-only.bin
expect_rc 1 "$FF" list --content table-only.bin
err_is "Read beyond end of file: table-only.bin (offset 0x20000, 12 bytes)"
[ -s out.txt ] && fail "list --content wrote rows before its error"

# --- list --content: the last column and a "content" field.
# put OFFSET PRINTF-FORMAT: bytes laid over c.bin.
put() { printf "$2" | dd of=c.bin bs=1 seek=$(($1)) conv=notrunc status=none; }
elf='\177ELF\001\001\001'
jffs2='\205\031\003\040\014\000\000\000\261\260\036\344'   # clean marker, little-endian
for geometry in 2k 512 4k; do
  case $geometry in 2k) bs=$((0x20000)) blocks=64;; 512) bs=$((0x4000)) blocks=512;; 4k) bs=$((0x40000)) blocks=32;; esac
  "$GEN" c.bin -g $geometry -b $blocks -e 0:MIBIB:0:1:0:blank -e 0:E:1:2:0:blank -e 0:A:3:2:0:blank \
    -e 0:U:5:2:0:blank -e 0:F:7:2:0:blank -e 0:S:9:2:0:blank -e 0:J:11:2:0:blank \
    -e 0:LATE:13:2:0:blank -e 0:SPARE:15:2:0:blank -e 0:DATA:17:2 -e 0:ZERO:19:0 \
    -e 0:BLANK:19:0xFFFFFFFF:0:blank || exit 1
  put 1*$bs "$elf"; put 3*$bs 'ANDROID!'; put 5*$bs 'UBI#\001'; put 7*$bs '\061\030\020\006'
  put 9*$bs 'hsqs'; put 11*$bs "$jffs2"
  put 14*$bs+100 "$elf"                            # data past an erased first block
  put $blocks*$bs+15*$bs/32+3 'x'                  # main erased, spare not
  expect_rc 0 "$FF" list --content c.bin
  got=$(tail -n 12 out.txt | awk '{print $2 "=" $NF}' | tr '\n' ' ')
  want="MIBIB=data E=elf A=android-boot U=ubi F=ubifs S=squashfs J=jffs2 LATE=data SPARE=data DATA=data ZERO=blank BLANK=blank "
  [ "$got" = "$want" ] || fail "list --content ($geometry): $got"
  expect_rc 0 "$FF" list --content --json c.bin
  python3 - out.txt "$want" <<'PY' || fail "list --content --json ($geometry)"
import json, sys
doc = json.load(open(sys.argv[1]))
got = " ".join("%s=%s" % (p["name"], p["content"]) for p in doc["partitions"]) + " "
assert got == sys.argv[2], got
assert all(list(p)[-1] == "content" for p in doc["partitions"])
PY
done

# --- hexdump on the sample layouts: main and spare, at the start, inside,
# and the last line of USERDATA, whose spare data end the image file.
for geometry in 2k 512 4k; do
  case $geometry in 2k) blocks=64;; 512) blocks=512;; 4k) blocks=32;; esac
  "$GEN" h.bin -g $geometry -b $blocks --seed 5 || exit 1
  "$FF" list --json h.bin > list.json || fail "list h.bin"
  # position base blocks of partitions 1, 2, 3 and the last one (to the end).
  read -r bs count < <(python3 -c 'import json; g = json.load(open("list.json"))["geometry"]; print(g["block_size"], g["block_count"])')
  read -r p1 b1 n1 p2 b2 n2 p3 b3 n3 last lastBase lastBlocks < <(python3 -c '
import json
ps = json.load(open("list.json"))["partitions"]
print(" ".join("%d %d %d" % (p["position"], p["beg_block"], p["blocks"]) for p in ps[:3] + ps[-1:]))')
  main=$((count * bs))
  [ $((main * 33 / 32)) = "$(stat -c %s h.bin)" ] || fail "h.bin: spare data must end the file"
  # position area-offset area-length options...
  while read -r pos area len opts; do
    # shellcheck disable=SC2086
    set -- $opts
    offset=0 length=
    while [ $# -gt 0 ]; do case $1 in --offset) offset=$2; shift;; --length) length=$2; shift;; esac; shift; done
    [ -n "$length" ] || length=$((len - offset))
    # shellcheck disable=SC2086
    expect_rc 0 "$FF" hexdump h.bin --position "$pos" $opts
    python3 "$REF" hexdump h.bin "$area" "$offset" "$length" > want.txt
    same out.txt want.txt "hexdump $geometry --position $pos $opts"
    [ $((length)) -eq 0 ] || [ -s out.txt ] || fail "hexdump $geometry --position $pos $opts printed nothing"
  done <<CASES
$p1 $((b1 * bs)) $((n1 * bs)) --length 0x40
$p1 $((main + b1 * bs / 32)) $((n1 * bs / 32)) --spare --length 64
$p2 $((b2 * bs)) $((n2 * bs)) --offset 0x813 --length 0x1F
$p2 $((main + b2 * bs / 32)) $((n2 * bs / 32)) --spare --offset 7 --length 9
$last $((lastBase * bs)) $((lastBlocks * bs)) --offset $((lastBlocks * bs - 0x25))
$last $((main + lastBase * bs / 32)) $((lastBlocks * bs / 32)) --spare --offset $((lastBlocks * bs / 32 - 16))
$p3 $((b3 * bs)) $((n3 * bs)) --length 0
CASES
done
mkdir -p parts
# The table's own bytes, by hand: the MIBIB block of the default sample.
expect_rc 0 "$FF" hexdump sample.bin --name MIBIB --offset 0x800 --length 0x20
cat > want.txt <<'TXT'
00000800  AA 73 EE 55 DB BD 5E E3 04 00 00 00 0C 00 00 00  ªsîUÛ½^ã........
00000810  30 3A 53 42 4C 31 00 00 00 00 00 00 00 00 00 00  0:SBL1..........
TXT
same out.txt want.txt "hexdump of the table"
# A whole partition without --length, and bytes from 0x7F to 0x9F: raw into
# a pipe, dots on a terminal.
expect_rc 0 "$FF" hexdump sample.bin --name SBL1
[ "$(wc -l < out.txt)" = $((0x40000 / 16)) ] || fail "hexdump of all of SBL1: $(wc -l < out.txt) lines"
printf '\177\200\237\240' | dd of=sample.bin bs=1 seek=$((0x200000)) conv=notrunc status=none
expect_rc 0 "$FF" hexdump sample.bin --name QCSBL --length 4
printf '00000000  7F 80 9F A0%38s\177\302\200\302\237\302\240\n' '' | cmp -s - out.txt || fail "hexdump into a pipe: $(cat -v out.txt)"
if script -qc true /dev/null > /dev/null 2>&1; then
  script -qc "'$FF' hexdump sample.bin --name QCSBL --length 4" /dev/null < /dev/null > tty.txt
  printf '00000000  7F 80 9F A0%38s...\302\240\r\n' '' | cmp -s - tty.txt || fail "hexdump on a terminal: $(cat -v tty.txt)"
fi
# Bad ranges and bad numbers.
expect_rc 1 "$FF" hexdump sample.bin --name SBL1 --offset 0x3FFF0 --length 0x11
err_is "Offset 0x0003FFF0 and length 0x00000011 reach past the end of SBL1 main data (0x00040000 bytes)"
expect_rc 1 "$FF" hexdump sample.bin --name SBL1 --spare --offset 0x2001
err_is "Offset 0x00002001 and length 0x00000000 reach past the end of SBL1 spare data (0x00002000 bytes)"
expect_rc 0 "$FF" hexdump sample.bin --name SBL1 --spare --offset 0x2000
[ -s out.txt ] && fail "an empty range prints nothing"
expect_rc 0 "$FF" hexdump sample.bin --name SBL1 --offset 010 --length 1
python3 "$REF" hexdump sample.bin 0 10 1 > want.txt
same out.txt want.txt "--offset 010 is ten, not eight"
for bad in "--offset -1" "--offset 0x" "--offset 1e3" "--length 0x100000000" "--offset 12abc"; do
  # shellcheck disable=SC2086
  expect_rc 2 "$FF" hexdump sample.bin --name SBL1 $bad
done
# Positions as numbers are typed: 010 is the tenth partition (FOTA), never
# the eighth; 0x0A too.
"$FF" hexdump sample.bin --name FOTA --length 16 > want.txt
for pos in 10 010 0x0A; do
  expect_rc 0 "$FF" hexdump sample.bin --position $pos --length 16
  same out.txt want.txt "--position $pos is not FOTA"
done
expect_rc 0 "$FF" save sample.bin --position 010 --kind spare --prefix parts/pos
[ "$(cat out.txt)" = parts/pos000004400000_FOTA.bin ] || fail "save --position 010: $(cat out.txt)"
for pos in 0 0x0 -1 1.5 x; do expect_rc 2 "$FF" replace sample.bin --position $pos --kind main --from z.bin o.bin; done
expect_rc 1 "$FF" hexdump sample.bin --position 13
err_is "No partition at position 13 (the table has 12)"
expect_rc 2 "$FF" hexdump sample.bin
expect_rc 1 "$FF" hexdump sample.bin --name NOPE
err_is "No partition named NOPE"

# --- diff: exit 0 identical, 3 different, 1 error, 2 bad command line.
for geometry in 2k 512 4k; do
  case $geometry in 2k) blocks=64;; 512) blocks=512;; 4k) blocks=32;; esac
  "$GEN" a.bin -g $geometry -b $blocks --seed 9 --trailing 33 || exit 1
  "$FF" list --json a.bin > list.json
  read -r bs count b6 n6 < <(python3 -c '
import json
d = json.load(open("list.json")); g = d["geometry"]; p = d["partitions"][5]
print(g["block_size"], g["block_count"], p["beg_block"], p["blocks"])')
  main=$((count * bs))
  cp a.bin b.bin
  expect_rc 0 "$FF" diff a.bin b.bin
  tail -n 1 out.txt | grep -q "; the images are identical$" || fail "diff identical ($geometry): $(tail -n 1 out.txt)"
  printf 'x' | dd of=b.bin bs=1 seek=$((main * 33 / 32 + 5)) conv=notrunc status=none
  expect_rc 0 "$FF" diff a.bin b.bin   # trailing bytes are not flash
  # flip OFFSET...: b.bin is a.bin with each of these bytes inverted.
  flip() {
    cp a.bin b.bin
    python3 -c 'import sys
f = open("b.bin", "r+b")
for at in sys.argv[1:]:
    f.seek(int(at)); x = f.read(1); f.seek(int(at)); f.write(bytes([x[0] ^ 0xFF]))' "$@"
  }
  # one main byte of partition 6, one spare byte of it, and the image's last block.
  flip $((b6 * bs + bs + 0x31))
  expect_rc 3 "$FF" diff a.bin b.bin
  grep -qE "^  6  AMSS +main differs from $(printf '0x%08X' $((bs + 0x31))) \(1 block\), spare identical$" out.txt ||
    fail "diff main byte ($geometry): $(grep AMSS out.txt)"
  [ "$(grep -cE '^ +[0-9]+  [A-Z0-9]+ +identical$' out.txt)" = 11 ] || fail "diff main byte ($geometry): the others"
  flip $((main + (b6 + n6 - 1) * bs / 32 + 2))
  expect_rc 3 "$FF" diff a.bin b.bin
  grep -qE "^  6  AMSS +main identical, spare differs from $(printf '0x%08X' $(((n6 - 1) * bs / 32 + 2))) \(1 block\)$" out.txt ||
    fail "diff spare byte ($geometry): $(grep AMSS out.txt)"
  flip $((main - 1)) $((main * 33 / 32 - 1)) $((main - bs))
  expect_rc 3 "$FF" diff --json a.bin b.bin
  python3 - out.txt "$bs" "$count" <<'PY' || fail "diff --json last block ($geometry)"
import json, sys
doc = json.load(open(sys.argv[1])); bs, count = int(sys.argv[2]), int(sys.argv[3])
# USERDATA, to the end: its last block's first main byte, and the last
# spare byte of that block (the image's last spare byte).
last = doc["partitions"][-1]
assert last["status"] == "different", last
assert last["main"]["differing_blocks"] == 1 and last["spare"]["differing_blocks"] == 1, last
first = last["main"]["first_difference"]
assert first % bs == 0, last
assert (first + bs) // 32 - 1 == last["spare"]["first_difference"], last
assert doc["summary"] == {"partitions": 12, "identical": 11, "different": 1, "only_in_a": 0,
                          "only_in_b": 0, "images_identical": False}, doc["summary"]
assert list(doc) == ["image_a", "image_b", "geometry", "partitions", "outside_partitions", "summary"]
PY
done
"$GEN" other.bin -g 512 -b 4096 || exit 1
expect_rc 1 "$FF" diff sample.bin other.bin
err_is "The images differ in geometry and cannot be compared: sample.bin has 2048-byte pages, 0x20000-byte blocks, 1024 blocks; other.bin has 512-byte pages, 0x4000-byte blocks, 4096 blocks"
[ -s out.txt ] && fail "diff of another geometry printed a result"
expect_rc 1 "$FF" diff sample.bin missing.bin
err_is "missing.bin: ERROR: Specified file does not exist!!!"
expect_rc 2 "$FF" diff sample.bin
expect_rc 2 "$FF" diff sample.bin sample.bin --bogus
expect_rc 0 "$FF" diff --help
grep -q "Exit code 0: identical; 3: the images differ; 1: error" out.txt || fail "diff --help names the exit codes"

# --- replace: save and replace round trips for every kind, the bytes that
# change, wrong sizes, and OUT that is the image or FILE.
mkdir -p parts
for geometry in 2k 512 4k; do
  case $geometry in 2k) blocks=64;; 512) blocks=512;; 4k) blocks=32;; esac
  "$GEN" r.bin -g $geometry -b $blocks --seed 3 --trailing 100 || exit 1
  for kind in main spare full; do
    for pos in 1 6 12; do
      saved=$("$FF" save r.bin --position $pos --kind $kind --prefix parts/p) || fail "save $pos $kind"
      expect_rc 0 "$FF" replace r.bin --position $pos --kind $kind --from "$saved" out.bin
      cmp -s out.bin r.bin || fail "save then replace ($geometry, $kind, $pos) is not the image"
      rm -f out.bin "$saved"
    done
  done
done
# The default sample: BOOT-like AMSS at 0x380000 (0x1880000 bytes), spare at
# 0x8000000 + 0x380000/32 = 0x801C000 (0xC4000 bytes).
head -c $((0x1880000 + 0xC4000)) /dev/zero > zeros.bin
expect_rc 0 "$FF" replace sample.bin --name AMSS --kind full --from zeros.bin out.bin
[ "$(cat out.txt)" = "out.bin: sample.bin with AMSS main data (0x01880000 bytes at 0x00380000) and spare data (0x000C4000 bytes at 0x0801C000) from zeros.bin" ] ||
  fail "replace prints: $(cat out.txt)"
{ range sample.bin 0 0x380000; head -c $((0x1880000)) /dev/zero; range sample.bin 0x1C00000 $((0x801C000 - 0x1C00000))
  head -c $((0xC4000)) /dev/zero; range sample.bin 0x80E0000 $((0x8400000 - 0x80E0000)); } > want.bin
cmp -s out.bin want.bin || fail "replace --kind full: only AMSS's main and spare data may change"
head -c $((0xC4000 - 1)) /dev/zero > short.bin
rm -f out.bin
expect_rc 1 "$FF" replace sample.bin --name AMSS --kind spare --from short.bin out.bin
err_is "short.bin holds 802815 bytes (0x000C3FFF), but AMSS spare data as save writes it is 802816 bytes (0x000C4000); nothing was written"
[ -e out.bin ] && fail "a refused replace left OUT"
sum=$(sha256sum sample.bin | cut -d' ' -f1)
ln -sf sample.bin soft.bin
ln -f sample.bin hard.bin
mkdir -p sub
head -c $((0x40000)) /dev/zero > z.bin
for target in sample.bin ./sample.bin sub/../sample.bin "$WORK/sample.bin" soft.bin hard.bin; do
  expect_rc 1 "$FF" replace sample.bin --name SBL1 --kind main --from z.bin "$target"
  grep -q "^Cannot write to the loaded image itself: " err.txt || fail "replace onto $target: $(cat err.txt)"
done
expect_rc 1 "$FF" replace sample.bin --name SBL1 --kind main --from z.bin ./z.bin
grep -q "^Cannot write ./z.bin: it is the input file z.bin" err.txt || fail "replace onto FILE: $(cat err.txt)"
[ "$(stat -c %s z.bin)" = $((0x40000)) ] || fail "FILE was emptied"
[ "$(sha256sum sample.bin | cut -d' ' -f1)" = "$sum" ] || fail "the image was changed"
expect_rc 2 "$FF" replace sample.bin --name SBL1 --kind both --from z.bin o.bin
expect_rc 2 "$FF" replace sample.bin --name SBL1 --kind main o.bin

# --- Random images: hexdump, diff and replace against the reference.
seed=${KOVRA_SEED:-$RANDOM}
mkdir rnd
python3 "$REF" random "$BIN" rnd 12 "$seed" || fail "random images (KOVRA_SEED=$seed reproduces them)"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "fullflash inspect: all checks passed"
