# The DLL exports exactly Initialize and DoPluginMain, undecorated, and
# imports only system DLLs (the runtime is linked in statically).
kovra_needs_wine=no
. "$(dirname "$0")/lib.sh"
dump=$($KOVRA_OBJDUMP -p "$WIN32_BIN/QualcommTool.dll") || fail "objdump failed"
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^[[:space:]]+\[ *[0-9]+\]' | awk '{print $NF}' | sort | tr '\n' ' ')
echo "exports: $exports"
[ "$exports" = "DoPluginMain Initialize " ] || fail "exports are '$exports'"
imports=$(echo "$dump" | awk '/DLL Name:/ {print tolower($3)}' | sort | tr '\n' ' ')
echo "imports: $imports"
# A list read wrongly would be empty and pass the loop below: the DLL uses
# the kernel, windows and the registry, so those three must be found.
for dll in kernel32.dll user32.dll advapi32.dll; do
  case " $imports" in *" $dll "*) ;; *) fail "no import of $dll found: is the import list read at all?" ;; esac
done
for dll in $imports; do
  case "$dll" in
    advapi32.dll|comctl32.dll|comdlg32.dll|gdi32.dll|kernel32.dll|msvcrt.dll|user32.dll|shell32.dll|ole32.dll) ;;
    *) fail "imports $dll, which is not a system DLL" ;;
  esac
done
# On i686 the .def aliases bind to the stdcall symbols Initialize@12 and
# DoPluginMain@4; a wrong argument size would not have linked.
$KOVRA_OBJDUMP -f "$WIN32_BIN/QualcommTool.dll" | grep -q "file format $KOVRA_PE_FORMAT" ||
  fail "not a $KOVRA_PE_FORMAT Windows image"
if [ "$KOVRA_WINE_ARCH" = win64 ]; then
  # The host keeps addresses inside the module in 32 bits: the x86-64 module
  # has a fixed base below 4 GiB that address randomisation may not move.
  base=$(echo "$dump" | awk '$1 == "ImageBase" {print $2}')
  echo "image base: 0x$base"
  [ -n "$base" ] && [ $((16#$base)) -lt $((1 << 32)) ] || fail "image base 0x$base is not below 4 GiB"
  ! echo "$dump" | grep -qE 'DYNAMIC_BASE|HIGH_ENTROPY_VA' || fail "the module may be moved: $(echo "$dump" | grep -E 'DYNAMIC_BASE|HIGH_ENTROPY_VA' | tr -s ' \t\n' ' ')"
fi
