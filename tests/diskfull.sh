#!/bin/sh
# Runs scripts/diskfull.js on a 1 MB tmpfs reached through Z: (the drive's
# free-space check passes, the write fails, as with a mounted folder on
# Windows), the log linked onto it (the real one is put back). Exit 77
# (skipped) where a tmpfs cannot be mounted.
#   diskfull.sh PREFIX
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
[ "$(id -u)" = 0 ] || { echo "skipped: mounting a tmpfs needs root"; exit 77; }
work=$(mktemp -d /tmp/qvdiskfull.XXXXXX)
disk=$work/disk log=$prefix/drive_c/windows/QVFileIOLog.txt
mkdir "$disk"
if ! mount -t tmpfs -o size=1m tmpfs "$disk" 2>"$work/err"; then
    echo "skipped: a tmpfs cannot be mounted here: $(cat "$work/err")"
    rm -rf "$work"
    exit 77
fi
trap 'rm -f "$log"; if [ -e "$work/saved" ]; then mv "$work/saved" "$log"; fi; umount "$disk"; rm -rf "$work"' EXIT
if [ -e "$log" ]; then mv "$log" "$work/saved"; fi
: >"$disk/QVFileIOLog.txt"
ln -s "$disk/QVFileIOLog.txt" "$log"
for f in a b c; do yes "the quick brown fox jumps over the lazy dog" | head -c 300000 >"$disk/$f.txt"; done
yes "the source" | head -c 1500000 >"$work/source.txt"
chmod a-w "$disk/c.txt"
mkdir "$disk/folder"
dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
win() { echo "Z:$1" | tr / '\\'; }
run() { "$here/../tools/run-script.sh" "$prefix" "$here/scripts/lib.js" "$here/scripts/diskfull.js" \
            "$(win "$disk")" "$(win "$work/source.txt")" "$@"; }
page=$(getconf PAGESIZE)
# What fits at the end of a.txt: the free pages and the rest of its last page.
run exact $(($(stat -f -c '%a * %S' "$disk") + (page - $(stat -c %s "$disk/a.txt") % page) % page))
truncate -s -8192 "$disk/filler"
(cd "$disk" && md5sum a.txt b.txt c.txt) >"$work/sums"
run big
truncate -s -65536 "$disk/filler"
run later
(cd "$disk" && md5sum -c "$work/sums")
