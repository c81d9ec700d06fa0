#!/usr/bin/env bash
# Builds the Windows programs twice, 32-bit (build/win32/bin: the plug-in as
# the box's host loads it) and x86-64 (build/win64/bin: the test programs, the
# plug-in and our host again, for machines whose kernel runs no 32-bit
# programs), and the native ones (build/native/bin); the native tree also
# registers the Wine tests of both Windows builds. Building needs no 32-bit
# program to run, so every machine builds all three.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-i686-mingw.cmake" >/dev/null
cmake --build build/win32 -j "$jobs"
# Only what the wine64 tests and the demo run (no Windows fullflash here),
# optimised as the 32-bit build but without debug information, which costs a
# third of the compile time and nothing here needs.
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
cmake --build build/win64 -j "$jobs" --target wine_test_programs
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKOVRA_WIN32_BIN="$PWD/build/win32/bin" -DKOVRA_WIN64_BIN="$PWD/build/win64/bin" >/dev/null
cmake --build build/native -j "$jobs"
