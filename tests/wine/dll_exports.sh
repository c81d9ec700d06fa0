# The DLL exports exactly Initialize and DoPluginMain, undecorated, and
# imports only system DLLs (the runtime is linked in statically).
. "$(dirname "$0")/lib.sh"
dump=$(i686-w64-mingw32-objdump -p "$WIN32_BIN/QualcommTool.dll") || fail "objdump failed"
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
# The .def aliases bind to the stdcall symbols Initialize@12 and DoPluginMain@4;
# a wrong argument size would not have linked. The resources: one PLN block.
i686-w64-mingw32-objdump -f "$WIN32_BIN/QualcommTool.dll" | grep -q "file format pei-i386" || fail "not a 32-bit Windows image"
