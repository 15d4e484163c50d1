#!/bin/sh
# Runs a Windows program under Wine in a prefix of the build's own, creating
# the prefix on first use. The width is win32 (the 32-bit loader, as
# before) unless --arch win64 or WINEARCH=win64 asks for a 64-bit prefix,
# whose programs run through the 64-bit loader. The prefix is created
# through the loader of its own width too: the wineboot command in /usr/bin
# always runs the 32-bit loader, which a host without 32-bit code cannot run.
#   wine-run.sh [--arch win32|win64] --prefix DIR [--says] program [args...]
# --says: the program prints something whenever it runs (a test's summary,
# regsvr32 without /s, reg). Now and then a new Wine process ends while
# Wine is still starting it, before any of the program's own code runs:
# the loader then ends with nothing printed, or start.exe says
# "ShellExecuteEx failed: Internal error" (the process ended before it had
# started). Such a run is told on standard error with its exit status and
# the program is run once more; a program that printed anything else is
# never run again.
set -e
arch=${WINEARCH:-win32}
if [ "$1" = "--arch" ]; then arch=$2; shift 2; fi
if [ "$1" = "--prefix" ]; then prefix=$2; shift 2; else prefix=${WINEPREFIX:?}; fi
says=
if [ "$1" = "--says" ]; then says=1; shift; fi
# Wine names the Unix files in the locale's character set: in UTF-8 every
# name Windows can hold has its file (in the C locale, a name beyond ASCII
# has none).
export WINEARCH="$arch" WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} LC_ALL=C.UTF-8
loader=/usr/lib/wine/wine
[ "$arch" = win64 ] && loader=/usr/lib/wine/wine64
loader=${QV_LOADER:-$loader}  # another loader only in its own test
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        [ -f "$prefix/system.reg" ] || WINELOADER=$loader $loader wineboot -i >/dev/null 2>&1
        wineserver -w
    ) 9>"$prefix.lock"
fi
[ -n "$says" ] || exec $loader "$@"

out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
$loader "$@" >"$out" 2>"$err" || status=$?
unstarted() {
    { [ ! -s "$out" ] && [ ! -s "$err" ]; } || grep -q '^ShellExecuteEx failed: Internal error' "$out" "$err"
}
if unstarted; then
    echo "wine-run.sh: Wine did not start $1 (exit status $status, output: [$(cat "$out" "$err" | tr -d '\r' | tr '\n' ' ')]); once more" >&2
    status=0
    $loader "$@" >"$out" 2>"$err" || status=$?
fi
cat "$out"
cat "$err" >&2
exit $status
