#!/bin/bash
# fullflash list on images made by ffsample: text and JSON output, exit codes.
set -u
BIN=$1
FF=$BIN/fullflash
GEN=$BIN/ffsample
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect_rc() {   # expected-rc description command...
  local want=$1 what=$2; shift 2
  "$@" >"$TMP/out" 2>"$TMP/err"
  local rc=$?
  [ "$rc" = "$want" ] || fail "$what: exit $rc, expected $want; stderr: $(cat "$TMP/err")"
}

# Text output: the log lines, then one line per partition.
$GEN "$TMP/a.bin" -e 0:SBL1:0:2:0x1FF:pattern -e 0:BOOT:0x2A:8 -e 0:USERDATA:0x3C0:0xFFFFFFFF:0:blank \
  || fail "ffsample a.bin"
expect_rc 0 "list a.bin" "$FF" list "$TMP/a.bin"
cat >"$TMP/want" <<'TXT'
Detected NAND Page = 0x0800 bytes
Detected NAND Block = 0x00020000 bytes

Partition Table is found in block: 0x0000
Total quantity of listed partitions: 3
  1   SBL1              0x000000000000..0x00000003FFFF (0x0000..0x0001)  0x000000040000 (0x0002)
  2   BOOT              0x000000540000..0x00000063FFFF (0x002A..0x0031)  0x000000100000 (0x0008)
  3   USERDATA          0x000007800000..0x000007FFFFFF (0x03C0..0x03FF)  0x000000800000 (0x0040)
TXT
diff "$TMP/want" "$TMP/out" || fail "list a.bin text"
[ -s "$TMP/err" ] && fail "list a.bin wrote to stderr: $(cat "$TMP/err")"

# JSON: exact keys, integers, the stored size kept.
expect_rc 0 "list --json a.bin" "$FF" list --json "$TMP/a.bin"
# The document, read by a JSON parser (jq: scripts/deps.sh installs it).
jq -e --arg image "$TMP/a.bin" '
  (keys_unsorted == ["image", "geometry", "log", "partitions"])
  and .image == $image
  and .geometry == {"page_size": 2048, "block_size": 131072, "file_size": 138412032,
                    "main_area_size": 134217728, "block_count": 1024, "table_block": 0}
  and .log[-1] == "Total quantity of listed partitions: 3" and (.log | length) == 5
  and ([.partitions[] | keys_unsorted] == [range(3) | ["position", "name", "stored_name", "entry_base",
        "entry_size", "attributes", "beg_block", "blocks", "address_range", "partition_size"]])
  and .partitions[0].attributes == 511 and .partitions[0].stored_name == "0:SBL1" and .partitions[0].name == "SBL1"
  and .partitions[2].entry_size == 4294967295 and .partitions[2].blocks == 64 and .partitions[2].beg_block == 960
  and .partitions[1].address_range == "0000000000540000000000000063FFFF000000000000002A0000000000000031"
  and .partitions[1].partition_size == "00000000001000000000000000000008"' "$TMP/out" > /dev/null \
  || fail "list --json a.bin: $(cat "$TMP/out")"

# HTC on 0x40000-byte blocks: halved unless --no-htc-adjust; the notice for <= 64 blocks.
$GEN "$TMP/htc.bin" -g 4k --blocks 64 -e 0:APPS:0:0x15 -e 0:HTC:0x15:0x20 || fail "ffsample htc.bin"
expect_rc 0 "list htc.bin" "$FF" list "$TMP/htc.bin"
grep -qx "WARNING!!! Many Partitions will not correspond to real addresses for HTC FullImage files when NAND Block Size is 0x40000" "$TMP/out" \
  || fail "htc warning missing"
[ "$(tail -n 4 "$TMP/out" | head -n 2 | tr '\n' '|')" = "|Detected the HTC Partition.|" ] || fail "htc notice"
grep -q "HTC .*(0x000A..0x0029)" "$TMP/out" || fail "htc row not halved"
expect_rc 0 "list --json htc.bin" "$FF" list --json "$TMP/htc.bin"
grep -q '"entry_base": 10,' "$TMP/out" || fail "htc json entry_base halved"
expect_rc 0 "list --no-htc-adjust" "$FF" list --no-htc-adjust --json "$TMP/htc.bin"
grep -q '"entry_base": 21,' "$TMP/out" || fail "htc json entry_base kept"
grep -q "Many Partitions" "$TMP/out" && fail "htc warning with --no-htc-adjust"

# Failures: exit 1 with the module's text on stderr.
expect_rc 1 "missing file" "$FF" list "$TMP/absent.bin"
grep -qx "ERROR: Specified file does not exist!!!" "$TMP/err" || fail "missing file text"
[ -s "$TMP/out" ] && fail "missing file wrote to stdout"
$GEN "$TMP/none.bin" --blocks 64 --no-table || fail "ffsample none.bin"
expect_rc 1 "no table" "$FF" list --json "$TMP/none.bin"
grep -qx "ERROR: Cannot find Qualcomm Partition Table." "$TMP/err" || fail "no table text"
$GEN "$TMP/short.bin" --blocks 8 --no-table || fail "ffsample short.bin"
expect_rc 1 "short file" "$FF" list "$TMP/short.bin"
grep -q "^Read beyond end of file: $TMP/short.bin" "$TMP/err" || fail "short file text: $(cat "$TMP/err")"
$GEN "$TMP/zero.bin" --blocks 64 -e 0:A:0:1 --entries-count 0 || fail "ffsample zero.bin"
expect_rc 1 "no entries" "$FF" list "$TMP/zero.bin"
grep -qx "ERROR: Access Violation when setting Length for Dinamic Array." "$TMP/err" || fail "no entries text"
$GEN "$TMP/past.bin" --blocks 64 -e 0:A:0:1 --entries-count 4294967295 || fail "ffsample past.bin"
expect_rc 1 "count past the end" "$FF" list "$TMP/past.bin"
grep -q "^Read beyond end of file: " "$TMP/err" || fail "count past the end text"

# Usage.
expect_rc 0 "--help" "$FF" --help
grep -q "list" "$TMP/out" || fail "--help lists no commands"
expect_rc 0 "list --help" "$FF" list --help
grep -q -- "--no-htc-adjust" "$TMP/out" || fail "list --help"
expect_rc 0 "--version" "$FF" --version
grep -q "^fullflash [0-9]" "$TMP/out" || fail "--version text"
expect_rc 2 "no command" "$FF"
expect_rc 2 "no image" "$FF" list
expect_rc 2 "unknown option" "$FF" list --bogus "$TMP/a.bin"
expect_rc 2 "unknown command" "$FF" frobnicate

# The realistic default image.
$GEN "$TMP/default.bin" || fail "ffsample default"
expect_rc 0 "list default" "$FF" list "$TMP/default.bin"
[ "$(wc -l <"$TMP/out")" = 17 ] || fail "default: expected 5 log lines and 12 partitions"
tail -n 1 "$TMP/out" | grep -q "USERDATA .*0x000005800000..0x000007FFFFFF (0x02C0..0x03FF)  0x000002800000 (0x0140)$" \
  || fail "default: last partition"

[ "$failures" = 0 ] && echo "all fullflash list checks passed"
exit $((failures != 0))
