#!/usr/bin/env bash
# fullflash save, save-all, save-image and blank on generated images: every
# file compared byte for byte with the range of the image it must hold,
# offsets worked out by hand.
set -u
BIN=${1:?native bin folder}
FF="$BIN/fullflash"
GEN="$BIN/ffsample"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/ff-export.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# range IMAGE OFFSET LENGTH: the bytes of IMAGE at OFFSET.
range() { dd if="$1" iflag=skip_bytes,count_bytes skip=$(($2)) count=$(($3)) status=none; }
# same_as FILE IMAGE OFFSET LENGTH [IMAGE OFFSET LENGTH ...]: FILE holds those ranges in order.
same_as() {
  local file=$1; shift
  [ -f "$file" ] || { fail "$file missing"; return; }
  : > expected.tmp
  while [ $# -gt 0 ]; do range "$1" "$2" "$3" >> expected.tmp; shift 3; done
  cmp -s "$file" expected.tmp || fail "$file differs from the expected bytes ($(stat -c %s "$file") bytes)"
}
size_is() { [ "$(stat -c %s "$1" 2>/dev/null)" = "$(($2))" ] || fail "$1: size $(stat -c %s "$1" 2>/dev/null), expected $(($2))"; }
expect_rc() { local want=$1; shift; "$@" > out.txt 2> err.txt; local rc=$?; [ $rc -eq "$want" ] || { fail "rc $rc (wanted $want): $*"; cat err.txt >&2; }; }

# 1024 blocks of 0x20000, table in block 0, 100 trailing bytes.
"$GEN" img.bin -e 0:SBL1:0:0x2A -e 0:BOOT:0x2A:8 -e 0:ZERO:0x40:0:0:blank \
  -e 0:LAST:0x3C0:0xFFFFFFFF:0:blank --trailing 100 || exit 1
size_is img.bin 0x8400000+100
cp img.bin img.orig

# One partition in the three kinds. BOOT: main 0x100000 bytes at 0x540000,
# spare 0x8000 bytes at 0x8000000 + 0x540000/32 = 0x802A000.
mkdir out
expect_rc 0 "$FF" save img.bin --name BOOT --kind main --prefix out/m
[ "$(cat out.txt)" = "out/m000000540000_BOOT.bin" ] || fail "save prints the file name: $(cat out.txt)"
[ -s err.txt ] && fail "stderr is not a terminal: nothing may be written there: $(cat err.txt)"
same_as out/m000000540000_BOOT.bin img.bin 0x540000 0x100000
expect_rc 0 "$FF" save img.bin --name 0:BOOT --kind spare --prefix out/s
same_as out/s000000540000_BOOT.bin img.bin 0x802A000 0x8000
expect_rc 0 "$FF" save img.bin --position 2 --kind full --prefix out/f
same_as out/f000000540000_BOOT.bin img.bin 0x540000 0x100000 img.bin 0x802A000 0x8000
size_is out/f000000540000_BOOT.bin 0x108000

# To the end: 64 blocks from 0x7800000; spare from 0x8000000 + 0x3C0000 up
# to 0x8400000, never into the trailing bytes.
expect_rc 0 "$FF" save img.bin --position 4 --kind full --prefix out/f
same_as out/f000007800000_LAST.bin img.bin 0x7800000 0x800000 img.bin 0x83C0000 0x40000
expect_rc 0 "$FF" save img.bin --name ZERO --kind full --prefix out/f
size_is out/f000000800000_ZERO.bin 0

expect_rc 1 "$FF" save img.bin --name NOPE --kind main --prefix out/n
expect_rc 1 "$FF" save img.bin --position 5 --kind main --prefix out/n
expect_rc 2 "$FF" save img.bin --name BOOT --position 2 --kind main --prefix out/n
expect_rc 2 "$FF" save img.bin --name BOOT --kind both --prefix out/n
expect_rc 2 "$FF" save img.bin --name BOOT --kind main

# Every partition in table order, an existing file replaced silently.
mkdir all
head -c 12345 /dev/zero > all/a000000000000_SBL1.bin
expect_rc 0 "$FF" save-all img.bin --kind full --prefix all/a
printf '%s\n' all/a000000000000_SBL1.bin all/a000000540000_BOOT.bin all/a000000800000_ZERO.bin \
  all/a000007800000_LAST.bin | cmp -s - out.txt || fail "save-all names or order: $(cat out.txt)"
same_as all/a000000000000_SBL1.bin img.bin 0 0x540000 img.bin 0x8000000 0x2A000
same_as all/a000000540000_BOOT.bin img.bin 0x540000 0x100000 img.bin 0x802A000 0x8000
same_as all/a000007800000_LAST.bin img.bin 0x7800000 0x800000 img.bin 0x83C0000 0x40000
size_is all/a000000800000_ZERO.bin 0
[ "$(ls all | wc -l)" = 4 ] || fail "save-all wrote other files: $(ls all)"
expect_rc 0 "$FF" save-all img.bin --kind main --prefix all/m
same_as all/m000000000000_SBL1.bin img.bin 0 0x540000
expect_rc 0 "$FF" save-all img.bin --kind spare --prefix all/s
same_as all/s000000000000_SBL1.bin img.bin 0x8000000 0x2A000

# The whole image: the trailing bytes are dropped.
expect_rc 0 "$FF" save-image img.bin copy.bin
same_as copy.bin img.bin 0 0x8400000
printf '\nSaving to File...OK\n' | cmp -s - out.txt || fail "save-image log: $(cat out.txt)"

# Blank check: ZERO (length 0) and LAST are blank.
expect_rc 0 "$FF" blank img.bin
cat > expected.txt <<'TXT'

Checking which Partition is blank...COMPLETE!
Following partitions are found to be completely blank:
  Partition: ZERO at 000000000080000000000000007FFFFF0000000000000040000000000000003F
  Partition: LAST at 00000000078000000000000007FFFFFF00000000000003C000000000000003FF
TXT
cmp -s expected.txt out.txt || { fail "blank log"; diff expected.txt out.txt >&2; }
expect_rc 0 "$FF" blank img.bin --json
cmp -s expected.txt err.txt || fail "blank --json: log lines on stderr"
# The document, read by a JSON parser (jq: scripts/deps.sh installs it).
jq -e '.checked == 4
       and ([.blank[] | [.position, .name]] == [[3, "ZERO"], [4, "LAST"]])
       and .blank[0].address_range == "000000000080000000000000007FFFFF0000000000000040000000000000003F"
       and ([.blank[] | keys_unsorted] == [["position", "name", "address_range"], ["position", "name", "address_range"]])' \
  out.txt > /dev/null || fail "blank --json document: $(cat out.txt)"
"$GEN" full.bin -b 64 -e 0:A:0:32 -e 0:B:32:32 || exit 1
expect_rc 0 "$FF" blank full.bin
printf '\nChecking which Partition is blank...COMPLETE!\nThere are no blank partitions found.\n' |
  cmp -s - out.txt || fail "blank with no blank partition: $(cat out.txt)"

# Names from the image never leave the prefix's folder.
"$GEN" hostile.bin -b 64 -e '0:../../esc:0:1' -e '0:a\b:1:1' -e '0:x<y>|?*":2:1' \
  -e "0:c$(printf '\001')d:3:1" -e '0:A.B:4:1' -e '0:...:5:1' || exit 1
mkdir -p deep/out
expect_rc 0 "$FF" save-all hostile.bin --kind main --prefix deep/out/h
printf '%s\n' "deep/out/h000000000000_______esc.bin" "deep/out/h000000020000_a_b.bin" \
  'deep/out/h000000040000_x_y_____.bin' "deep/out/h000000060000_c_d.bin" \
  "deep/out/h000000080000_A.B.bin" "deep/out/h0000000A0000____.bin" |
  cmp -s - out.txt || { fail "hostile names"; cat out.txt >&2; }
[ "$(ls deep/out | wc -l)" = 6 ] || fail "hostile names: $(ls deep/out)"
[ "$(ls deep)" = out ] || fail "a file escaped the folder: $(ls deep)"
[ -e esc ] || [ -e ../esc ] && fail "a file escaped the folder"
same_as "deep/out/h000000000000_______esc.bin" hostile.bin 0 0x20000

# The loaded image is never the target: same path, another spelling, links.
sum_before=$(sha256sum img.bin | cut -d' ' -f1)
mkdir sub
ln img.bin hard.bin
ln -s img.bin soft.bin
for target in img.bin ./img.bin sub/../img.bin "$WORK/img.bin" hard.bin soft.bin; do
  expect_rc 1 "$FF" save-image img.bin "$target"
  grep -q "loaded image itself" err.txt || fail "save-image onto $target: $(cat err.txt)"
done
cp img.bin p000000540000_BOOT.bin
expect_rc 1 "$FF" save p000000540000_BOOT.bin --name BOOT --kind main --prefix ./p
expect_rc 1 "$FF" save-image soft.bin hard.bin
[ "$(sha256sum img.bin | cut -d' ' -f1)" = "$sum_before" ] || fail "the image was changed"
cmp -s p000000540000_BOOT.bin img.bin || fail "the image was changed through a generated name"

# A short image: the copy ends with a read error and keeps the blocks before.
head -c $((0x540000 + 0x60000 + 100)) img.bin > short.bin
expect_rc 1 "$FF" save short.bin --name BOOT --kind full --prefix out/short
grep -q "Read beyond end of file: short.bin" err.txt || fail "short image error: $(cat err.txt)"
same_as out/short000000540000_BOOT.bin img.bin 0x540000 0x60000

# A blank partition running past the end of a short image: the check ends
# with a read error and its log keeps the progress line.
"$GEN" erased.bin -b 64 -e 0:T:0:1:0:blank -e 0:E:1:63:0:blank || exit 1
head -c $((0x420000)) erased.bin > erased-short.bin
expect_rc 1 "$FF" blank erased-short.bin
printf '\nChecking which Partition is blank...2/2\n' | cmp -s - out.txt || fail "failed blank log: $(cat out.txt)"
grep -q "Read beyond end of file: erased-short.bin" err.txt || fail "short blank error: $(cat err.txt)"

# 0x4000-byte blocks, 196 blocks (not a multiple of 32): T = 0x310000, spare
# 0x18800 bytes in six pieces of 0x4000 and one of 0x800.
"$GEN" small.bin -g 512 -b 196 -e 0:A:0:98 -e 0:B:98:0xFFFFFFFF --trailing 7 || exit 1
expect_rc 0 "$FF" save-image small.bin small-copy.bin
same_as small-copy.bin small.bin 0 0x328800
expect_rc 0 "$FF" save small.bin --name B --kind spare --prefix out/s
same_as out/s000000188000_B.bin small.bin 0x31C400 0xC400

# HTC adjustment with 0x40000-byte blocks: 0x15 becomes 0x0A unless switched off.
"$GEN" htc.bin -g 4k -b 64 -e 0:SBL:0:4 -e 0:HTC:0x15:2 || exit 1
expect_rc 0 "$FF" save htc.bin --name HTC --kind main --prefix out/h
[ "$(cat out.txt)" = out/h000000280000_HTC.bin ] || fail "HTC adjusted: $(cat out.txt)"
same_as out/h000000280000_HTC.bin htc.bin 0x280000 0x80000
expect_rc 0 "$FF" save htc.bin --name HTC --kind main --prefix out/h --no-htc-adjust
[ "$(cat out.txt)" = out/h000000540000_HTC.bin ] || fail "HTC not adjusted: $(cat out.txt)"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "fullflash export: all checks passed"
