#!/bin/sh
# Both libraries registered in one 64-bit prefix, each by the regsvr32 of
# its own width, each called from the script host of its own width; and
# removing one leaves the other working. Where the host runs no 32-bit code
# (QV_RUN32=OFF) only the 64-bit side is tried, and the test says so.
#   both-widths.sh PREFIX64 DLL32 DLL64   (DLLs: Linux paths)
set -u
prefix=$1 dll32=$2 dll64=$3
here=$(cd "$(dirname "$0")" && pwd)
export WINEARCH=win64 WINEPREFIX="$prefix" WINEDEBUG=-all
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
script=$(winpath "$here/scripts/width.js")
wow='C:\windows\syswow64'
reg32() { /usr/lib/wine/wine "$wow\\regsvr32.exe" /s "$@" "$(winpath "$dll32")"; }
reg64() { /usr/lib/wine/wine64 regsvr32 /s "$@" "$(winpath "$dll64")"; }
host32() { /usr/lib/wine/wine "$wow\\cscript.exe" //nologo "$script" | tr -d '\r'; }
host64() { /usr/lib/wine/wine64 cscript //nologo "$script" | tr -d '\r'; }
checks=0 failed=0
expect() {
    checks=$((checks + 1))
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected [$2], got [$3]"; failed=$((failed + 1)); fi
}

refused() { case "$1" in *"cannot be created"*) echo refused ;; *) echo "$1" ;; esac; }

if [ "${QV_RUN32:-ON}" = OFF ]; then
    echo "the 32-bit side was not tried: this host runs no 32-bit Windows programs"
    reg64
    expect "the 64-bit host" "host AMD64: works" "$(host64)"
    reg64 /u
    expect "the 64-bit host after removing its library" refused "$(refused "$(host64)")"
    reg64
    echo "$checks checks, $failed failed"
    [ "$failed" = 0 ]
    exit
fi

reg64 && reg32
expect "the 64-bit host" "host AMD64: works" "$(host64)"
expect "the 32-bit host" "host x86: works" "$(host32)"
reg32 /u
expect "the 64-bit host after removing the 32-bit library" "host AMD64: works" "$(host64)"
expect "the 32-bit host after removing its library" refused "$(refused "$(host32)")"
reg32 && reg64 /u
expect "the 32-bit host after removing the 64-bit library" "host x86: works" "$(host32)"
expect "the 64-bit host after removing its library" refused "$(refused "$(host64)")"
# Back as the other tests of this prefix expect it: the 64-bit library alone.
reg32 /u; reg64
echo "$checks checks, $failed failed"
[ "$failed" = 0 ]
