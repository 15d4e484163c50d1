#!/bin/sh
# Builds a tree that holds a symbolic link to a folder outside it, and runs
# tests/scripts/links.js on it.
#   links.sh PREFIX
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/sub" "$work/outside/inner"
echo a > "$work/tree/a.txt"
echo b > "$work/tree/sub/b.txt"
echo k > "$work/outside/keep.txt"
echo d > "$work/outside/inner/deep.txt"
ln -s "$work/outside" "$work/tree/link"
"$here/../tools/run-script.sh" "$1" "$here/scripts/lib.js" "$here/scripts/links.js" "Z:$(echo "$work" | tr / '\\')"
