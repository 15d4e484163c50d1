#!/bin/sh
# Runs one script test with cscript under Wine: the shared helper library is
# joined to the test first, since Wine's script host runs no .wsf jobs.
#   run-script.sh PREFIX LIBRARY TEST [args...]
set -e
prefix=$1 library=$2 test=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ext=${test##*.}
cat "$library" "$test" > "$work/test.$ext"
here=$(dirname "$0")
"$here/wine-run.sh" --prefix "$prefix" cscript //nologo "Z:$(echo "$work/test.$ext" | tr / '\\')" "$@"
