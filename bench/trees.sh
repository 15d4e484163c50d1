#!/bin/sh
# Builds the trees of the benchmarks below DIR, from the shell: a script
# host would take minutes to make them, and under Wine even a native
# program takes about a millisecond a file.
#   trees.sh DIR
#   DIR/flat              20,000 files         DIR/flat-tenth   2,000 files
#   DIR/tree              100 directories of 499 files each: 50,000 entries
#   DIR/tree-tenth        10 of them: 5,000 entries
#   DIR/del/1 to 15       40 of them: 20,000 entries, one tree per deletion
#   DIR/del-tenth/1 to 3  4 of them: 2,000 entries
#   DIR/delp/1 to 6       as del: the policy's deletions, with and without
set -eu
root=$1
rm -rf "$root"
mkdir -p "$root/flat" "$root/flat-tenth" "$root/del" "$root/del-tenth"
(cd "$root/flat" && seq -f 'f%05g.txt' 0 19999 | xargs touch)
(cd "$root/flat-tenth" && seq -f 'f%05g.txt' 0 1999 | xargs touch)
files=$(seq -f 'f%03g.txt' 0 498)
for d in $(seq -f 'd%03g' 0 99); do
    mkdir -p "$root/tree/$d"
    (cd "$root/tree/$d" && echo "$files" | xargs touch)
done
mkdir -p "$root/tree-tenth"
for d in $(seq -f 'd%03g' 0 9); do cp -r "$root/tree/d000" "$root/tree-tenth/$d"; done
mkdir -p "$root/del/1" "$root/del-tenth/1"
for d in $(seq -f 'd%03g' 0 39); do cp -r "$root/tree/d000" "$root/del/1/$d"; done
for d in $(seq -f 'd%03g' 0 3); do cp -r "$root/tree/d000" "$root/del-tenth/1/$d"; done
for n in $(seq 2 15); do cp -r "$root/del/1" "$root/del/$n"; done
for n in 2 3; do cp -r "$root/del-tenth/1" "$root/del-tenth/$n"; done
mkdir -p "$root/delp"
for n in $(seq 1 6); do cp -r "$root/del/1" "$root/delp/$n"; done
