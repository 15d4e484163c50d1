#!/bin/sh
# The library's PE facts, read without running any Windows program, so
# they are checked on every host: export table, imports, version resource.
#   pe-facts.sh DLL     (the Linux path of the built library)
set -u
dll=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
expect_eq() {  # what expected actual
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}
# The DLLs of Windows itself that the library may import.
system_dlls="kernel32.dll advapi32.dll user32.dll shell32.dll ole32.dll oleaut32.dll ws2_32.dll msvcrt.dll urlmon.dll"

pe=$(x86_64-w64-mingw32-objdump -p "$dll")  # reads both widths
expect_eq "export table name" "QVFileIO3.DLL" \
    "$(printf '%s\n' "$pe" | sed -n 's/^Name[[:space:]]*[0-9a-fA-F]* //p' | head -1)"
expect_eq "ordinal base" "1" "$(printf '%s\n' "$pe" | sed -n 's/^Ordinal Base[[:space:]]*//p' | head -1)"
exports=$(printf '%s\n' "$pe" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p')
expect_eq "exports by ordinal (index + base 1)" \
    "$(printf '0 DllCanUnloadNow\n1 DllGetClassObject\n2 DllRegisterServer\n3 DllUnregisterServer')" "$exports"
imports=$(printf '%s\n' "$pe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || fail "no import table found"
for name in $imports; do
    lower=$(printf '%s' "$name" | tr 'A-Z' 'a-z')
    case "$lower" in
    lib*) fail "imports a run-time library: $name" ;;
    esac
    case " $system_dlls " in *" $lower "*) ;; *) fail "imports a DLL that is not the system's: $name" ;; esac
done

strings=$(strings -el "$dll")
version_pairs='FileDescription=QVFileIOSvr Module
FileVersion=1, 0, 0, 33
InternalName=QVFileIOSvr
OriginalFilename=QVFileIOSvr.DLL
ProductName=QVFileIOSvr Module
ProductVersion=1, 0, 0, 1'
printf '%s\n' "$version_pairs" | while IFS='=' read -r key expected; do
    actual=$(printf '%s\n' "$strings" | grep -x -A1 "$key" | sed -n 2p)
    [ "$actual" = "$expected" ] || printf 'FAIL: version string %s: expected [%s], got [%s]\n' "$key" "$expected" "$actual"
done >"$work/version"
if [ -s "$work/version" ]; then
    cat "$work/version"
    failures=$((failures + 1))
fi
# The fixed part: signature, file version 1.0.0.33, product version 1.0.0.1,
# 32-bit Windows, a DLL.
hex=$(od -An -tx1 -v "$dll" | tr -d ' \n')
case "$hex" in
*bd04effe"00000100""00000100""21000000""00000100""01000000""3f000000""00000000""04000000""02000000"*) ;;
*) fail "fixed version information" ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "PE facts: all checks passed"
