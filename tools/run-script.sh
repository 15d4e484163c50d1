#!/bin/sh
# Runs one script test with cscript under Wine: the shared helper library is
# joined to the test first, since Wine's script host runs no .wsf jobs.
#   run-script.sh PREFIX LIBRARY TEST [args...]
# Wine's cscript reports an uncaught script error with nothing at all and
# exit status 0, so a test passes only when it got to done()'s summary line.
# Its first line prints "started" before anything else runs: a run that
# printed nothing never got to the script (see wine-run.sh --says).
set -e
prefix=$1 library=$2 test=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ext=${test##*.}
case $ext in
js) echo 'WScript.Echo("started");' ;;
*) echo 'WScript.Echo "started"' ;;
esac > "$work/test.$ext"
cat "$library" "$test" >> "$work/test.$ext"
here=$(dirname "$0")
status=0
"$here/wine-run.sh" --prefix "$prefix" --says cscript //nologo "Z:$(echo "$work/test.$ext" | tr / '\\')" "$@" \
    >"$work/output" || status=$?
cat "$work/output"
if ! grep -q '^[0-9]* checks, [0-9]* failed' "$work/output"; then
    echo "the script stopped before its end (an uncaught script error?)" >&2
    [ "$status" != 0 ] || status=1
fi
exit $status
