#!/usr/bin/env bash
# Regenerates the seeds and replays them (and any saved crash reproducers
# under tests/fuzz/regressions/<target>) through one fuzz target.
# Usage: replay.sh BIN_DIR TARGET
set -euo pipefail
bin=$1 target=$2
here=$(cd "$(dirname "$0")" && pwd)
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
"$bin/make_fuzz_seeds" "$seeds"
# A target without seeds would replay nothing and pass.
[ -n "$(ls -A "$seeds/$target" 2>/dev/null)" ] ||
  { echo "replay: make_fuzz_seeds wrote no seeds for $target" >&2; exit 1; }
dirs=("$seeds/$target")
[ -d "$here/regressions/$target" ] && dirs+=("$here/regressions/$target")
"$bin/fuzz_$target" -runs=0 "${dirs[@]}"
