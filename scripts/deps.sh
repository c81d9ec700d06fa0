#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when it is missing.
# Both Windows builds are made everywhere: the 32-bit one (wine32 runs it) and
# the x86-64 one (wine64 runs it, also where the kernel runs no 32-bit
# programs; wine32 is installed there too but cannot start).
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb x11-utils xdotool imagemagick fonts-wine
          googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libfmt-dev
          jq python3)   # the command-line tests read JSON with jq and compute references with python3
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "deps: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q >&2
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
