#!/usr/bin/env bash
# fullflash on hostile images and while writing fails: every case ends with
# exit code 1 and a message that says what and where, nothing is written
# outside the folder asked for, and the image itself never changes.
kovra_hostile_name=ff-hostile
# shellcheck source=lib/hostile.sh
. "$(dirname "$0")/lib/hostile.sh"
# --- Images that do not load: every command says why and writes nothing.
cut zero.bin 0
cut probe.bin 0x20808
cut header.bin 0x40808
cut entries.bin 0x40810+50
"$GEN" count0.bin --blocks 16 -t 2 "${PLAIN[@]}" --entries-count 0 || exit 1
"$GEN" countmax.bin --blocks 16 -t 2 "${PLAIN[@]}" --entries-count 4294967295 || exit 1
"$GEN" countbig.bin --blocks 16 -t 2 "${PLAIN[@]}" --entries-count 4608 || exit 1
"$GEN" notable.bin --blocks 48 --no-table || exit 1
mkdir folder.bin

load_fails() {
  local img=$1 msg=$2 cmd
  for cmd in "list $img" "save $img --position 1 --kind full --prefix out/p" \
             "save-all $img --kind full --prefix out/p" "save-image $img out/copy.bin" "blank $img"; do
    fresh_out
    # shellcheck disable=SC2086
    run 1 "$FF" $cmd
    err_has "$msg"
    files_are
  done
}
load_fails zero.bin "Read beyond end of file: zero.bin (offset 0x800, 16 bytes)"
load_fails probe.bin "Read beyond end of file: probe.bin (offset 0x20800, 16 bytes)"
load_fails header.bin "Read beyond end of file: header.bin (offset 0x40800, 16 bytes)"
load_fails entries.bin "Read beyond end of file: entries.bin (offset 0x40810, 112 bytes)"
load_fails count0.bin "ERROR: Access Violation when setting Length for Dinamic Array."
load_fails countmax.bin "Read beyond end of file: countmax.bin (offset 0x40810, 120259084260 bytes)"
load_fails countbig.bin \
  "Partition table in block 0x0002 claims 4608 entries, more than its block holds (4607): countbig.bin"
load_fails notable.bin "ERROR: Cannot find Qualcomm Partition Table."
load_fails folder.bin "ERROR: Specified file does not exist!!!"
load_fails missing.bin "ERROR: Specified file does not exist!!!"

# --- Names that try to leave the folder: every file lands in out/.
"$GEN" names.bin --blocks 16 -t 2 -e 0:../../evil:3:1 -e '0:a\b/c:4:1' -e $'0:\x01\x1f\x7f:5:1' \
  -e 0:SIXTEENCHARSXX:6:1 -e 0:OVERLAP:0:4 -e 0:..:7:1 -e 0:/abs:9:1 -e 0:.:10:1 || exit 1
fresh_out
run 0 "$FF" save-all names.bin --kind full --prefix out/p
files_are p000000060000_______evil.bin p000000080000_a_b_c.bin p0000000A0000____.bin \
  p0000000C0000_SIXTEENCHARSXX.bin p000000000000_OVERLAP.bin p0000000E0000___.bin \
  p000000120000__abs.bin p000000140000_..bin
fresh_out
run 0 "$FF" save names.bin --name ../../evil --kind main --prefix out/
files_are 000000060000_______evil.bin
[ -z "$(find "$WORK/.." -maxdepth 2 -name '*evil*' -newer plain.bin 2>/dev/null)" ] ||
  fail "a file named after ../../evil left the work folder"

# --- Partitions outside the image: the save stops with the offset.
"$GEN" far.bin --blocks 16 -t 2 -e 0:SBL1:0:2 -e 0:FAR:20:2 || exit 1
fresh_out
run 1 "$FF" save far.bin --name FAR --kind main --prefix out/p
err_has "WARNING!!! Image file is too small. It must be increased upto: 0x0020 blocks"
err_has "Read beyond end of file: far.bin (offset 0x280000, 131072 bytes)"
files_are p000000280000_FAR.bin
# Cut inside APPS (0x101234 bytes: 7 whole blocks): five blocks are saved, then the end.
cut short.bin 0x101234
fresh_out
run 1 "$FF" save short.bin --name APPS --kind full --prefix out/p
err_has "Read beyond end of file: short.bin (offset 0x100000, 131072 bytes)"
[ "$(stat -c %s out/p000000060000_APPS.bin)" = $((5 * 0x20000)) ] || fail "short save keeps what was read"
# The blank check stops each data partition at its first block; EFS2 (block
# 13, at 0x1A0000) is the first one it has to read past the end.
run 1 "$FF" blank short.bin
err_has "Read beyond end of file: short.bin (offset 0x1A0000, 131072 bytes)"

# --- Faults while writing: a file size limit (SIGXFSZ ignored) stands in
# for a full disk. The image stays as it was, the message names the file.
cp plain.bin plain.orig
limited() { (trap '' XFSZ; ulimit -f 1024; "$@"); }   # 1 MiB
fresh_out
run 1 limited "$FF" save-image plain.bin out/copy.bin
err_has "Cannot write file: out/copy.bin (offset 0x100000, 131072 bytes): File too large"
out_has "Saving to File..."
[ "$(stat -c %s out/copy.bin)" = $((0x100000)) ] || fail "the partial image keeps what was written"
fresh_out
run 1 limited "$FF" save plain.bin --name APPS --kind full --prefix out/p
err_has "Cannot write file: out/p000000060000_APPS.bin (offset 0x100000, 131072 bytes): File too large"
fresh_out
run 1 limited "$FF" save-all plain.bin --kind main --prefix out/p
err_has "Cannot write file: out/p000000060000_APPS.bin (offset 0x100000, 131072 bytes): File too large"
files_are p000000000000_SBL1.bin p000000040000_MIBIB.bin p000000060000_APPS.bin
cmp -s plain.bin plain.orig || fail "the image changed while writing failed"

# An output folder that cannot be written: missing, a file in its place,
# read-only.
fresh_out
run 1 "$FF" save plain.bin --name APPS --kind main --prefix nowhere/p
err_has "Cannot create file: nowhere/p000000060000_APPS.bin: No such file or directory"
: > afile
run 1 "$FF" save-image plain.bin afile/copy.bin
err_has "Cannot create file: afile/copy.bin: Not a directory"
# Permissions do not stop root: as root the command runs as the unprivileged
# user nobody (a copy of the program, in folders nobody may enter), for whom
# the read-only folder is as read-only as for its owner.
as_user=() ff=$FF
if [ "$(id -u)" = 0 ]; then
  chmod 755 "$WORK" "$WORK/run"
  cp "$FF" fullflash-unprivileged
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --) ff=./fullflash-unprivileged
fi
chmod a-w out
# The same user reads the image: only the folder can stop it.
run 0 "${as_user[@]}" "$ff" list plain.bin
run 1 "${as_user[@]}" "$ff" save-all plain.bin --kind main --prefix out/p
err_has "Cannot create file: out/p000000000000_SBL1.bin: Permission denied"
chmod u+w out
files_are
cmp -s plain.bin plain.orig || fail "the image changed"

[ $failures -eq 0 ] && echo "hostile_images: all checks passed"
exit $((failures > 0))
