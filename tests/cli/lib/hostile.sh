# Shared by the command-line tests on hostile images: a work folder whose
# run/ holds everything the commands may touch (anything that appears beside
# it escaped), the checks, and the plain image that the cases cut and bend.
# Source with the folder's name prefix: . lib/hostile.sh NAME; $1 of the
# test script is the native bin folder.
set -u
BIN=${1:?native bin folder}
FF="$BIN/fullflash"
GEN="$BIN/ffsample"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/${kovra_hostile_name:?}.XXXXXX")
trap 'chmod -R u+w "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
mkdir run && cd run || exit 1   # $WORK itself stays empty: anything there escaped
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# run WANT_RC CMD...: runs CMD with stdout in out.txt and stderr in err.txt.
run() {
  local want=$1; shift
  "$@" > out.txt 2> err.txt
  local rc=$?
  [ $rc -eq "$want" ] || { fail "rc $rc (wanted $want): $*"; sed 's/^/  stderr: /' err.txt >&2; }
}
err_has() { grep -qxF -- "$1" err.txt || { fail "stderr lacks \"$1\""; sed 's/^/  stderr: /' err.txt >&2; }; }
out_has() { grep -qxF -- "$1" out.txt || { fail "stdout lacks \"$1\""; sed 's/^/  stdout: /' out.txt >&2; }; }
# Only the files and folders named may exist below out/, and nothing new in $WORK.
files_are() {
  local got want
  got=$(cd out && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort)
  want=$(printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort)
  [ "$got" = "$want" ] || fail "files in out/: [$got], wanted [$want]"
  [ "$(ls -A "$WORK")" = "run" ] || fail "files escaped into $WORK: $(ls -A "$WORK")"
}
fresh_out() { chmod -R u+w out 2>/dev/null; rm -rf out; mkdir out; }

# 16 blocks of 0x20000 (0x210000 bytes), table in block 2 at 0x40800, entries from 0x40810.
PLAIN=(-e 0:SBL1:0:2 -e 0:MIBIB:2:1 -e 0:APPS:3:10 -e 0:EFS2:13:3)
"$GEN" plain.bin --blocks 16 -t 2 "${PLAIN[@]}" || exit 1
# cut NAME BYTES: the plain image's first BYTES bytes.
cut() { head -c $(($2)) plain.bin > "$1"; }
