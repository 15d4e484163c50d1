#!/bin/sh
# Runs a Windows program under Wine in the build's own 32-bit prefix,
# creating the prefix on first use.
#   wine-run.sh --prefix DIR program [args...]
set -e
if [ "$1" = "--prefix" ]; then prefix=$2; shift 2; else prefix=${WINEPREFIX:?}; fi
export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all}
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        [ -f "$prefix/system.reg" ] || wineboot -i >/dev/null 2>&1
        wineserver -w
    ) 9>"$prefix.lock"
fi
exec wine "$@"
