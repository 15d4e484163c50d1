#!/bin/sh
# The shell's real folder dialog under Xvfb, answered with xdotool: Escape
# cancels (an empty string), Return takes the selected folder (the Desktop).
# A prefix of its own, whose programs all see the display, of the width
# WINEARCH names (win32 unless set). Nothing waits
# forever: the dialog is looked for for 60 s at most, and the script host is
# ended by its process id if it has not ended 60 s after the key.
#   dialog.sh PREFIX DLL     (DLL: the Linux path of the built library)
set -u
prefix=$1 dll=$2
here=$(cd "$(dirname "$0")" && pwd)
tools="$here/../tools"
work=$(mktemp -d)
display=""
for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display"; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY="$display" WINEARCH="${WINEARCH:-win32}" WINEPREFIX="$prefix" WINEDEBUG=-all
finish() {
    wineserver -k >/dev/null 2>&1
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
"$tools/wine-run.sh" --prefix "$prefix" regsvr32 /s "Z:$(echo "$dll" | tr / '\\')" </dev/null >/dev/null 2>&1
script="Z:$(echo "$here/scripts/dialog.js" | tr / '\\')"

failed=0
# Answers one dialog with `key` and prints what the script host printed.
answer() {
    "$tools/wine-run.sh" --prefix "$prefix" cscript //nologo "$script" </dev/null >"$work/out" 2>/dev/null &
    host=$!
    window=""
    for i in $(seq 1 120); do
        window=$(xdotool search --name 'Browse for Folder' 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.5
    done
    [ -n "$window" ] || echo "FAIL: no dialog appeared"
    sleep 1  # the dialog fills its tree before it takes keys
    [ -n "$window" ] && xdotool key --window "$window" "$1" 2>/dev/null
    for i in $(seq 1 120); do kill -0 "$host" 2>/dev/null || break; sleep 0.5; done
    if kill -0 "$host" 2>/dev/null; then
        echo "FAIL: the script host did not end"
        kill "$host"
    fi
    wait "$host" 2>/dev/null
    cat "$work/out"
}

# Answers with a key; the script host's line must match the extended
# regular expression.
check() {
    out=$(answer "$1" | tr -d '\r')
    printf '%s: %s\n' "$1" "$out"
    if printf '%s\n' "$out" | grep -q FAIL || ! printf '%s\n' "$out" | grep -Eq "$2"; then
        printf 'FAIL: %s\n' "$3"
        failed=$((failed + 1))
    fi
}
check Escape '^chosen: \[\] string$' "cancel gives an empty string"
check Return '^chosen: \[C:\\users\\[^\\]+\\Desktop\] string$' "OK gives the selected folder, the Desktop"
echo "2 checks, $failed failed"
[ "$failed" = 0 ]
