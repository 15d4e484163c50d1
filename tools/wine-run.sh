#!/bin/sh
# Runs a Windows program under Wine in a prefix of the build's own, creating
# the prefix on first use. The width is win32 (the 32-bit loader, as
# before) unless --arch win64 or WINEARCH=win64 asks for a 64-bit prefix,
# whose programs run through the 64-bit loader. The prefix is created
# through the loader of its own width too: the wineboot command in /usr/bin
# always runs the 32-bit loader, which a host without 32-bit code cannot run.
#   wine-run.sh [--arch win32|win64] --prefix DIR [--says] [program [args...]]
# Without a program it only makes the prefix. In the emulated machine, where
# wineboot takes minutes, a new prefix is a copy of the one wineboot made
# there for this width and user when the machine was first booted
# (QV_PREFIXES, tools/vm/init.sh); the files of its system32 and syswow64,
# Wine's libraries that nothing writes, are symbolic links to that one's
# (Wine reads them as plain files), not copies of a gigabyte.
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
        made=${QV_PREFIXES:+$QV_PREFIXES/$arch-$(id -un)}
        if [ -f "$prefix/system.reg" ]; then :
        elif [ -n "$made" ] && [ -f "$made/system.reg" ]; then
            libraries="system32 syswow64"
            tar -C "$made" $(printf -- '--exclude=./drive_c/windows/%s ' $libraries) -cf - . | tar -C "$prefix" -xpf -
            for folder in $libraries; do
                [ ! -d "$made/drive_c/windows/$folder" ] || cp -as "$made/drive_c/windows/$folder" "$prefix/drive_c/windows/"
            done
        else WINELOADER=$loader $loader wineboot -i >/dev/null 2>&1
        fi
        wineserver -w
    ) 9>"$prefix.lock"
fi
[ $# -gt 0 ] || exit 0
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
