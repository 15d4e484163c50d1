#!/bin/sh
# Builds the trees of the listing benchmark below DIR (from the shell: a
# script host would take minutes to make 90,000 files).
#   trees.sh DIR
#   DIR/flat      20,000 files
#   DIR/tree      100 directories of 499 files each: 50,000 entries
#   DIR/del1, DIR/del2   40 directories of 499 files each: 20,000 entries
set -eu
root=$1
rm -rf "$root"
mkdir -p "$root/flat"
(cd "$root/flat" && seq -f 'f%05g.txt' 0 19999 | xargs touch)
files=$(seq -f 'f%03g.txt' 0 498)
for d in $(seq -f 'd%03g' 0 99); do
    mkdir -p "$root/tree/$d"
    (cd "$root/tree/$d" && echo "$files" | xargs touch)
done
mkdir -p "$root/del1"
for d in $(seq -f 'd%03g' 0 39); do cp -r "$root/tree/d000" "$root/del1/$d"; done
cp -r "$root/del1" "$root/del2"
