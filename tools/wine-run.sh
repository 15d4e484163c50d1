#!/bin/sh
# Runs a Windows program under Wine in a prefix of the build's own, creating
# the prefix on first use. The width is win32 (the 32-bit loader, as
# before) unless --arch win64 or WINEARCH=win64 asks for a 64-bit prefix,
# whose programs run through the 64-bit loader. The prefix is created
# through the loader of its own width too: the wineboot command in /usr/bin
# always runs the 32-bit loader, which a host without 32-bit code cannot run.
#   wine-run.sh [--arch win32|win64] --prefix DIR program [args...]
set -e
arch=${WINEARCH:-win32}
if [ "$1" = "--arch" ]; then arch=$2; shift 2; fi
if [ "$1" = "--prefix" ]; then prefix=$2; shift 2; else prefix=${WINEPREFIX:?}; fi
export WINEARCH="$arch" WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all}
loader=/usr/lib/wine/wine
[ "$arch" = win64 ] && loader=/usr/lib/wine/wine64
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        [ -f "$prefix/system.reg" ] || WINELOADER=$loader $loader wineboot -i >/dev/null 2>&1
        wineserver -w
    ) 9>"$prefix.lock"
fi
exec $loader "$@"
