#!/usr/bin/env bash
# Builds everything and runs every test: the native unit and command-line
# tests (also under sanitizers), short fuzz runs, and the Windows programs
# under Wine on a virtual display: the 32-bit build (wine.*) and the x86-64
# build under wine64 (wine64.*). Where the kernel runs no 32-bit programs
# (scripts/machine.sh) the 32-bit tests are reported as skipped, and the run
# ends with one line saying how many were skipped and why.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/deps.sh
# shellcheck source=machine.sh
. scripts/machine.sh
kovra_probe_32bit
[ "$KOVRA_32BIT" = yes ] || echo "test: $KOVRA_NO32_REASON; the 32-bit Windows tests will be skipped" >&2
bash scripts/build.sh
# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short run of every fuzz target.
bash scripts/sanitize-and-fuzz.sh
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
junit=$(mktemp "${TMPDIR:-/tmp}/kovra-ctest.XXXXXX")
cleanup() { kovra_wine_stop; rm -f "$junit"; }
trap cleanup EXIT
cd build/native
rc=0
ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 600 --output-junit "$junit" || rc=$?
bash "$root/scripts/skip-summary.sh" "$junit" || rc=1
exit $rc
