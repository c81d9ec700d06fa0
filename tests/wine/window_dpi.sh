# The module's windows at 96 and at 120 DPI under Wine: the same designed pixel layout with the same 11-pixel text, every caption, label and check box whole.
. "$(dirname "$0")/lib.sh"
dir=$(mktemp -d)
desktop='HKCU\Control Panel\Desktop'
# Through run_wine, the programs' own loader: reg is a Windows program too.
reg() { run_wine "$dir/reg" 60 reg "$@"; }
# The prefix's DPI as it was ("" when never set), put back however this ends.
reg query "$desktop" /v LogPixels
before=$(tr -d '\r' < "$dir/reg" | awk '$1 == "LogPixels" {print $3}')
set_dpi() { reg add "$desktop" /v LogPixels /t REG_DWORD /d "$1" /f; }
restore() {
  if [ -n "$before" ]; then set_dpi "$((before))"
  else reg delete "$desktop" /v LogPixels /f; fi
  rm -rf "$dir"
}
trap restore EXIT
# A Linux path as the programs see it (drive Z: is the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
cd "$WIN32_BIN"
for dpi in 96 120; do
  set_dpi $dpi
  KOVRA_LAYOUT_OUT="$(windows_path "$dir/layout-$dpi.txt")" run_wine "$dir/out-$dpi" 120 window_dpi_wintest.exe
  rc=$?
  cat "$dir/out-$dpi"
  [ $rc -eq 0 ] || fail "window_dpi_wintest.exe at $dpi DPI exited with $rc"
  # Each run proves that it saw the DPI it was given.
  tr -d '\r' < "$dir/out-$dpi" | grep -qx "dpi $dpi" || fail "the program did not run at $dpi DPI"
  grep -q '^\[  PASSED  \]' "$dir/out-$dpi" || fail "no PASSED line at $dpi DPI"
  [ -s "$dir/layout-$dpi.txt" ] || fail "no layout written at $dpi DPI"
done
# The command buttons' captions, whole at 120 DPI too.
run_wine "$dir/captions" 120 button_captions_wintest.exe
rc=$?
cat "$dir/captions"
[ $rc -eq 0 ] && grep -q '^\[  PASSED  \]' "$dir/captions" || fail "a button caption is cut at 120 DPI"
diff -u "$dir/layout-96.txt" "$dir/layout-120.txt" || fail "the layout at 120 DPI is not the designed one"
echo "the same layout at 96 and 120 DPI ($(wc -l < "$dir/layout-96.txt") lines)"
