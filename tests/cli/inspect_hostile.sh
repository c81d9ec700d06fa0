#!/usr/bin/env bash
# hexdump, diff, replace and list --content on hostile images and while
# writing fails: exit code 1 with a message that says what and where, no file
# but OUT ever written (and no OUT when replace fails), the image unchanged.
kovra_hostile_name=ff-inspect-hostile
# shellcheck source=lib/hostile.sh
. "$(dirname "$0")/lib/hostile.sh"
head -c $((0x40000)) /dev/zero > sbl1.bin   # SBL1's main data size

# --- Images that do not load.
cut zero.bin 0
cut header.bin 0x40808
cut entries.bin 0x40810+50
"$GEN" count0.bin --blocks 16 -t 2 "${PLAIN[@]}" --entries-count 0 || exit 1
"$GEN" countbig.bin --blocks 16 -t 2 "${PLAIN[@]}" --entries-count 4608 || exit 1
"$GEN" notable.bin --blocks 48 --no-table || exit 1
mkdir folder.bin

load_fails() {
  local img=$1 msg=$2 cmd
  for cmd in "hexdump $img --position 1" "list --content $img" "list --content --json $img" \
             "replace $img --position 1 --kind main --from sbl1.bin out/new.bin" \
             "diff $img plain.bin" "diff plain.bin $img"; do
    fresh_out
    # shellcheck disable=SC2086
    run 1 "$FF" $cmd
    case $cmd in diff*) err_has "$img: $msg";; *) err_has "$msg";; esac
    [ -s out.txt ] && fail "$cmd printed: $(head -n 3 out.txt)"
    files_are
  done
}
load_fails zero.bin "Read beyond end of file: zero.bin (offset 0x800, 16 bytes)"
load_fails header.bin "Read beyond end of file: header.bin (offset 0x40800, 16 bytes)"
load_fails entries.bin "Read beyond end of file: entries.bin (offset 0x40810, 112 bytes)"
load_fails count0.bin "ERROR: Access Violation when setting Length for Dinamic Array."
load_fails countbig.bin \
  "Partition table in block 0x0002 claims 4608 entries, more than its block holds (4607): countbig.bin"
load_fails notable.bin "ERROR: Cannot find Qualcomm Partition Table."
load_fails folder.bin "ERROR: Specified file does not exist!!!"
load_fails missing.bin "ERROR: Specified file does not exist!!!"

# --- Partitions outside the image: FAR lies past the end, CUT runs past it.
"$GEN" far.bin --blocks 16 -t 2 -e 0:SBL1:0:2 -e 0:MIBIB:2:1 -e 0:CUT:12:8 -e 0:FAR:20:2 || exit 1
cp far.bin far.orig
fresh_out
run 1 "$FF" hexdump far.bin --name FAR
err_has "WARNING!!! Image file is too small. It must be increased upto: 0x0020 blocks"
err_has "Read beyond end of file: far.bin (offset 0x280000, 262144 bytes)"
[ -s out.txt ] && fail "hexdump of FAR printed lines"
# CUT's main data (0x180000, 8 blocks) run past the file's end (0x210000):
# refused before the first line.
run 1 "$FF" hexdump far.bin --name CUT --offset 0x7FFF0
err_has "Read beyond end of file: far.bin (offset 0x1FFFF0, 524304 bytes)"
[ -s out.txt ] && fail "hexdump of CUT printed lines"
run 0 "$FF" hexdump far.bin --name CUT --offset 0x7FFF0 --length 16
run 1 "$FF" list --content far.bin
err_has "Read beyond end of file: far.bin (offset 0x280000, 12 bytes)"
run 1 "$FF" diff far.bin far.bin
err_has "Read beyond end of file: far.bin (offset 0x200000, 131072 bytes)"
for name in CUT FAR; do
  [ $name = CUT ] && size=$((8 * 0x20000)) || size=$((2 * 0x20000))
  head -c $size /dev/zero > part.bin
  run 1 "$FF" replace far.bin --name $name --kind main --from part.bin out/new.bin
  grep -q "^Partition $name (blocks .*) reaches past the end of the flash (0x0010 blocks) in far.bin; nothing was written$" err.txt ||
    fail "replace $name: $(cat err.txt)"
done
files_are
cmp -s far.bin far.orig || fail "far.bin changed"

# --- Stored names that try to leave the folder never become file names here:
# replace writes OUT and nothing else.
"$GEN" names.bin --blocks 16 -t 2 -e 0:../../evil:3:1 -e '0:a\b/c:4:1' -e 0:MIBIB:2:1 || exit 1
head -c $((0x20000)) /dev/zero > one.bin
fresh_out
run 0 "$FF" replace names.bin --name ../../evil --kind main --from one.bin out/new.bin
files_are new.bin
run 0 "$FF" hexdump names.bin --name 'a\b/c' --length 16
run 0 "$FF" list --content names.bin
grep -q '  \.\./\.\./evil .* data$' out.txt || fail "list --content names: $(cat out.txt)"
files_are new.bin

# --- OUT that cannot be written, or fails on the way: no OUT stays behind,
# FILE and the image are untouched.
fresh_out
run 1 "$FF" replace plain.bin --name SBL1 --kind main --from sbl1.bin nowhere/new.bin
err_has "Cannot create file: nowhere/new.bin: No such file or directory"
mkdir out/dir.bin
run 1 "$FF" replace plain.bin --name SBL1 --kind main --from sbl1.bin out/dir.bin
grep -q "^Cannot create file: out/dir.bin: Is a directory$" err.txt || fail "OUT a folder: $(cat err.txt)"
[ -d out/dir.bin ] || fail "the folder given as OUT was removed"
rmdir out/dir.bin
cp plain.bin plain.orig
limited() { (trap '' XFSZ; ulimit -f 1024; "$@"); }   # 1 MiB: a full disk
run 1 limited "$FF" replace plain.bin --name SBL1 --kind main --from sbl1.bin out/new.bin
err_has "Cannot write file: out/new.bin (offset 0x100000, 131072 bytes): File too large; the unfinished out/new.bin was removed"
files_are
run 1 "$FF" replace plain.bin --name SBL1 --kind main --from missing-file.bin out/new.bin
err_has "Cannot open file: missing-file.bin"
run 1 "$FF" replace plain.bin --name SBL1 --kind main --from folder.bin out/new.bin
grep -q "^Cannot open file: folder.bin" err.txt || fail "FILE a folder: $(cat err.txt)"
files_are
cmp -s plain.bin plain.orig || fail "the image changed"
[ "$(stat -c %s sbl1.bin)" = $((0x40000)) ] || fail "FILE changed"

[ $failures -eq 0 ] && echo "inspect_hostile: all checks passed"
exit $((failures > 0))
