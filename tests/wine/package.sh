# The release package as a user gets it: scripts/package.sh over this build,
# the zip unpacked, its sums checked, no debug information in its binaries
# (the .debug files beside the zip belong to them), the DLL from the zip
# loaded by our host under Wine, and fullflash.exe from the zip giving the
# native tool's output on a generated image.
. "$(dirname "$0")/lib.sh"
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(dirname "$WIN32_BIN")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
NATIVE_BIN=$(cd "${NATIVE_BIN:-.}" && pwd)
[ -x "$NATIVE_BIN/ffsample" ] && [ -x "$NATIVE_BIN/fullflash" ] || fail "the native programs are needed: $NATIVE_BIN"

bash "$ROOT/scripts/package.sh" --build "$BUILD" --out "$work/dist" >"$work/package.txt" 2>&1 ||
  { cat "$work/package.txt"; fail "scripts/package.sh failed"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
name=QualcommTool-$version-win32
zip=$work/dist/$name.zip
[ -f "$zip" ] || fail "no $name.zip in: $(ls "$work/dist")"

# 1. Unpacked: one folder with exactly the four files, and the sums hold.
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
pkg=$work/unpacked/$name
[ "$(cd "$work/unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" = \
  "./$name/QualcommTool.dll ./$name/README.txt ./$name/SHA256SUMS ./$name/fullflash.exe " ] ||
  fail "the zip holds: $(cd "$work/unpacked" && find . | tr '\n' ' ')"
(cd "$pkg" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not hold"
[ "$(wc -l < "$pkg/SHA256SUMS")" = 3 ] || fail "SHA256SUMS lists $(wc -l < "$pkg/SHA256SUMS") files"
grep -q "^QualcommTool $version for the KOVRA BOX host" "$pkg/README.txt" || fail "README.txt names no version"
[ "$(grep -c $'\r$' "$pkg/README.txt")" = "$(wc -l < "$pkg/README.txt")" ] || fail "README.txt lines must end in CR LF"

# 2. No debug information or symbols in the zip; the .debug files beside it
# hold it, and each binary's link names its file with the file's CRC.
for file in QualcommTool.dll fullflash.exe; do
  headers=$(i686-w64-mingw32-objdump -h "$pkg/$file")
  ! grep -q ' \.debug_' <<<"$headers" || fail "$file in the zip has debug sections"
  [ "$(i686-w64-mingw32-objdump -t "$pkg/$file" | grep -c '^\[')" = 0 ] || fail "$file in the zip has symbols"
  debug=$work/dist/$name-debug/$file.debug
  i686-w64-mingw32-objdump -h "$debug" | grep -q ' \.debug_info ' || fail "$file.debug holds no debug information"
  i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/link.bin" "$pkg/$file" "$work/copy.tmp" ||
    fail "$file in the zip has no debug link"
  python3 - "$work/link.bin" "$debug" <<'PY' || fail "$file: its debug link does not name $file.debug with its CRC"
import sys, zlib
link = open(sys.argv[1], "rb").read()
name, crc = link[:link.index(b"\0")].decode(), int.from_bytes(link[-4:], "little")
assert name == sys.argv[2].rsplit("/", 1)[1], name
assert crc == zlib.crc32(open(sys.argv[2], "rb").read()), hex(crc)
PY
  [ "$(stat -c %s "$pkg/$file")" -lt $((4 * 1024 * 1024)) ] || fail "$file in the zip is $(stat -c %s "$pkg/$file") bytes"
done

# 3. The DLL from the zip in our host: handshake, showings, FreeLibrary.
reg=$work/host.txt
wine reg delete 'HKCU\Software\Mervik\KOVRAPlugin_QualcommTool_Settings' /f >/dev/null 2>&1 </dev/null
(cd "$WIN32_BIN" && run_wine "$reg" 120 kovra-host.exe --close-after 800 --shows 2 "$(winepath -w "$pkg/QualcommTool.dll" 2>/dev/null)")
rc=$?
cat "$reg"
[ $rc -eq 0 ] || fail "kovra-host with the packaged DLL exited with $rc"
grep -q '^ok   the same main window is shown again' "$reg" || fail "the second showing never happened"
grep -qE '^[0-9]+ checks, 0 failed' "$reg" || fail "no tally from the host"
! grep -q '^FAIL' "$reg" || fail "a check failed"

# 4. fullflash.exe from the zip: the native tool's output, byte for byte
# (but for CR LF line ends), on a generated image; the exit codes of diff.
cd "$work" || fail "no work folder"
"$NATIVE_BIN/ffsample" img.bin -g 512 -b 512 --seed 4 >/dev/null || fail "ffsample failed"
cp img.bin other.bin
printf 'x' | dd of=other.bin bs=1 seek=$((0x123456)) conv=notrunc status=none
ffw() { timeout -k 5 120 wine "$pkg/fullflash.exe" "$@" </dev/null 2>"$work/err.txt" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
[ "$(ffw --version)" = "fullflash $version" ] || fail "fullflash.exe --version: $(ffw --version)"
while read -r want args; do
  # shellcheck disable=SC2086
  ffw $args > win.txt
  rc=$?
  # shellcheck disable=SC2086
  "$NATIVE_BIN/fullflash" $args > native.txt 2>/dev/null
  [ $rc = "$want" ] || { cat err.txt; fail "fullflash.exe $args exited $rc, not $want"; }
  [ -s native.txt ] || fail "fullflash $args printed nothing"
  cmp -s win.txt native.txt || { diff win.txt native.txt | head; fail "fullflash.exe $args differs from the native tool"; }
done <<'CASES'
0 list img.bin
0 list --content --json img.bin
0 hexdump img.bin --position 2 --offset 0x1F0 --length 0x120
0 hexdump img.bin --position 12 --spare --offset 0x10
0 diff img.bin img.bin
3 diff img.bin other.bin
CASES
grep -q 'main differs from' win.txt || fail "the packaged diff found no difference"
"$NATIVE_BIN/fullflash" save img.bin --position 6 --kind full --prefix part >/dev/null || fail "save failed"
ffw replace other.bin --position 6 --kind full --from part000000038000_AMSS.bin mended.bin > win.txt ||
  { cat err.txt; fail "fullflash.exe replace failed"; }
cmp -s mended.bin img.bin || fail "replace by fullflash.exe did not give the image back"
echo "package: $name.zip checked and loaded"
