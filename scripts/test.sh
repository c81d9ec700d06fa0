#!/usr/bin/env bash
# Builds everything and runs every test: the native unit and command-line
# tests (also under sanitizers), short fuzz runs, and the Windows programs
# under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short run of every fuzz target.
bash scripts/sanitize-and-fuzz.sh
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
cleanup() { [ -n "${KOVRA_XVFB_PID:-}" ] && kill "$KOVRA_XVFB_PID" 2>/dev/null; wineserver -k 2>/dev/null; true; }
trap cleanup EXIT
cd build/native
ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 600
