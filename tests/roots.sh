#!/bin/sh
# DeleteDirectory of a drive's root, in each spelling and with each set of
# flags, against a drive of its own: T:, a link in the prefix's dosdevices
# to a scratch folder. Under Wine, removing such a drive's root removes the
# linked folder and the drive vanishes, so the drive is made anew for each
# row; with a flag set it holds files and folders, without one it is empty
# (only then could removing the root succeed).
#   roots.sh PREFIX
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
work=$(mktemp -d)
drive="$work/drive" link="$prefix/dosdevices/t:"
trap 'rm -f "$link"; rm -rf "$work"' EXIT
status=0
while IFS='|' read -r spelling files dirs; do
    rm -rf "$drive"
    mkdir -p "$drive"
    if [ "$files$dirs" != 00 ]; then
        mkdir -p "$drive/dir/deeper" "$drive/empty"
        echo a > "$drive/a.txt"
        echo b > "$drive/dir/deeper/b.txt"
    fi
    ln -sfn "$drive" "$link"
    printf "== DeleteDirectory %s, %s, %s\n" "$spelling" "$files" "$dirs"
    "$here/../tools/run-script.sh" "$prefix" "$here/scripts/lib.js" "$here/scripts/roots.js" \
        "$spelling" "$files" "$dirs" || status=1
done <<'ROWS'
T:|1|1
T:\|0|0
t:\|1|0
T:\.|0|1
T:\dir\..|1|1
T:/|1|1
\\.\T:\|1|1
\\.\T:|0|0
ROWS
exit $status
