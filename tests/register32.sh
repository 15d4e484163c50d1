#!/bin/sh
# The 32-bit library's registration as register32.exe writes it from a
# 64-bit process (the Windows Installer package is built from it) against
# what the 32-bit regsvr32 writes, key for key and value for value, each in
# a fresh 64-bit prefix. Where the host runs no 32-bit code there is no
# regsvr32 to compare with: skipped (77), with the reason.
#   register32.sh DLL32 REGISTER32 WORKDIR    (WORKDIR is made anew)
set -u
dll32=$1 register32=$2 dir=$3
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${QV_RUN32:-ON}" = OFF ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "skipped: this host runs no 32-bit Windows programs, so the 32-bit regsvr32 cannot run to be compared with"
    exit 77
fi
rm -rf "$dir" && mkdir -p "$dir"
export WINEARCH=win64 WINEDEBUG=-all
trap 'for p in "$dir"/*/system.reg; do WINEPREFIX=${p%/system.reg} wineserver -k 2>/dev/null; done; rm -rf "$dir"' EXIT

# What a command given the library's path wrote below the classes of a fresh prefix.
registration() {  # NAME COMMAND...
    name=$1; shift
    export WINEPREFIX="$dir/$name"
    "$top/tools/wine-run.sh" --arch win64 --prefix "$WINEPREFIX" >/dev/null 2>&1
    mkdir -p "$WINEPREFIX/drive_c/qvscratch/x86"
    cp "$dll32" "$WINEPREFIX/drive_c/qvscratch/x86/QVFileIO3.dll"
    cp "$register32" "$WINEPREFIX/drive_c/qvscratch/register32.exe"
    wineserver -w && cp "$WINEPREFIX/system.reg" "$dir/$name.reg"
    "$@" 'C:\qvscratch\x86\QVFileIO3.dll' </dev/null >/dev/null 2>&1 || echo "$name failed"
    wineserver -w && perl "$top/tools/regdiff.pl" "$dir/$name.reg" "$WINEPREFIX/system.reg" 'Software\Classes\'
}
want=$(registration regsvr32 /usr/lib/wine/wine 'C:\windows\syswow64\regsvr32.exe' /s)
got=$(registration register32 /usr/lib/wine/wine64 'C:\qvscratch\register32.exe')
printf '%s\n' "$want" >"$dir/want"
printf '%s\n' "$got" >"$dir/got"
if [ "$(grep -c 'Wow6432Node\\CLSID\\' "$dir/want")" -gt 0 ] && diff -u "$dir/want" "$dir/got"; then
    echo "ok: register32.exe writes what the 32-bit regsvr32 writes ($(wc -l <"$dir/want") entries)"
    exit 0
fi
echo "FAIL: register32.exe and the 32-bit regsvr32 differ (or regsvr32 wrote no class key)"
exit 1
