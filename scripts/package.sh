#!/usr/bin/env bash
# Builds the Windows programs and writes the release package:
#   dist/QualcommTool-<version>-win32.zip     one folder QualcommTool-<version>-win32/ with
#                                             QualcommTool.dll, fullflash.exe, README.txt, SHA256SUMS
#   dist/QualcommTool-<version>-win32-debug/  QualcommTool.dll.debug, fullflash.exe.debug: the debug
#                                             information of those two binaries, for crash reports
# The version is the project's (CMakeLists.txt, project(... VERSION)). The
# binaries are the release build (RelWithDebInfo: -O2, NDEBUG) with their
# debug information moved out by objcopy: --only-keep-debug writes the .debug
# file, --strip-all removes debug sections and symbols from the copy in the
# zip, --add-gnu-debuglink records the .debug file's name and CRC in it.
#   bash scripts/package.sh [--build DIR] [--out DIR]
#     --build: the Windows build tree (default build/win32; configured like
#              scripts/build.sh when it does not exist yet)
#     --out:   where the zip and the debug folder go (default dist)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build/win32
out=dist
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2;;
    --out) out=$2; shift 2;;
    *) echo "usage: scripts/package.sh [--build DIR] [--out DIR]" >&2; exit 2;;
  esac
done
objcopy=i686-w64-mingw32-objcopy

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" >/dev/null
fi
build=$(cd "$build" && pwd)
cache=$build/CMakeCache.txt
grep -q '^CMAKE_TOOLCHAIN_FILE:.*toolchain-i686-mingw.cmake$' "$cache" ||
  { echo "package: $build is not the 32-bit Windows build tree" >&2; exit 1; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$cache")
case $type in
  RelWithDebInfo|Release) ;;
  *) echo "package: $build is a \"$type\" build; the package is made from a release build" >&2; exit 1;;
esac
cmake --build "$build" --target QualcommTool fullflash
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
[ -n "$version" ] || { echo "package: no project version in $cache" >&2; exit 1; }

name=QualcommTool-$version-win32
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d "${TMPDIR:-/tmp}/kovra-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name" "$stage/debug"
for file in QualcommTool.dll fullflash.exe; do
  "$objcopy" --only-keep-debug "$build/bin/$file" "$stage/debug/$file.debug"
  # The link is made from the .debug file's own name and contents, so the
  # objcopy that adds it runs where that file lies.
  (cd "$stage/debug" && "$objcopy" --strip-all --add-gnu-debuglink="$file.debug" \
     "$build/bin/$file" "$stage/$name/$file")
done
# Windows line ends: the guide is read in Notepad.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' scripts/package-readme.txt > "$stage/$name/README.txt"
(cd "$stage/$name" && sha256sum QualcommTool.dll fullflash.exe README.txt > SHA256SUMS)

rm -f "$out/$name.zip"
rm -rf "$out/$name-debug"
(cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip \
   "$name/QualcommTool.dll" "$name/fullflash.exe" "$name/README.txt" "$name/SHA256SUMS")
mv "$stage/debug" "$out/$name-debug"
echo "$out/$name.zip"
for f in "$stage/$name"/*; do printf '  %-18s %9s bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done
echo "$out/$name-debug/"
for f in "$out/$name-debug"/*; do printf '  %-24s %9s bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done
