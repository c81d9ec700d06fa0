#!/usr/bin/env bash
# Builds the Windows programs (build/win32/bin) and the native ones
# (build/native/bin); the native tree also registers the Wine tests.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-i686-mingw.cmake" >/dev/null
cmake --build build/win32 -j "$jobs"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKOVRA_WIN32_BIN="$PWD/build/win32/bin" >/dev/null
cmake --build build/native -j "$jobs"
