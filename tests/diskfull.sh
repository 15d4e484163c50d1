#!/bin/sh
# A real full disk: a tmpfs of 1 MB, reached through Z: (so the free-space
# check of the drive passes and the write itself fails, as with a mounted
# folder on Windows), filled close to full. The error log is put on it by a
# symbolic link from the prefix's Windows directory; the real log is saved
# and put back. Runs tests/scripts/diskfull.js in three phases and checks
# the files' checksums around the failures. Needs root to mount: exit 77
# (skipped) where mounting is refused.
#   diskfull.sh PREFIX
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
if [ "$(id -u)" != 0 ]; then
    echo "skipped: mounting a tmpfs needs root"
    exit 77
fi
work=$(mktemp -d /tmp/qvdiskfull.XXXXXX)
disk=$work/disk
mkdir "$disk"
if ! mount -t tmpfs -o size=1m tmpfs "$disk" 2>"$work/mount.err"; then
    echo "skipped: a tmpfs cannot be mounted here: $(cat "$work/mount.err")"
    rm -rf "$work"
    exit 77
fi
log=$prefix/drive_c/windows/QVFileIOLog.txt
cleanup() {
    rm -f "$log"
    if [ -e "$work/saved.log" ]; then mv "$work/saved.log" "$log"; fi
    umount "$disk"
    rm -rf "$work"
}
trap cleanup EXIT
if [ -e "$log" ]; then mv "$log" "$work/saved.log"; fi
: >"$disk/QVFileIOLog.txt"
ln -s "$disk/QVFileIOLog.txt" "$log"

text() { yes "the quick brown fox jumps over the lazy dog" | head -c "$1"; }
text 300000 >"$disk/a.txt"
text 300000 >"$disk/b.txt"
text 300000 >"$disk/c.txt"
chmod a-w "$disk/c.txt"
mkdir "$disk/folder"
text 1500000 >"$work/source.txt"
dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true

win() { echo "Z:$1" | tr / '\\'; }
run() { "$here/../tools/run-script.sh" "$prefix" "$here/scripts/lib.js" "$here/scripts/diskfull.js" \
            "$(win "$disk")" "$(win "$work/source.txt")" "$@"; }
sums() { (cd "$disk" && md5sum a.txt b.txt c.txt); }
free=$(($(stat -f -c '%a * %S' "$disk")))
page=$(getconf PAGESIZE)
# What fits at the end of a.txt: the free pages and the rest of its last page.
run exact $((free + (page - $(stat -c %s "$disk/a.txt") % page) % page))
truncate -s -8192 "$disk/filler"
sums >"$work/before"
run big
truncate -s -65536 "$disk/filler"
run later
sums | diff "$work/before" - && echo "checksums unchanged"
