#!/bin/sh
# The ways out of the administrator's policy that need something the object
# never makes: links to a file and to a folder, a hard link and a registry
# link inside what the policy allows, a search string that climbs out, the
# mapping's hand-shake key; and a folder switched for a link, from here, by a
# loop running beside thousands of calls. tests/scripts/wayout.js plays the
# script; afterwards the folder outside must be byte for byte as it was,
# looked at from here, whatever the interleaving was.
#   wayout.sh PREFIX RACE_CALLS REGLINK
set -eu
prefix=$1 calls=$2 reglink=$3
here=$(cd "$(dirname "$0")" && pwd)
tools="$here/../tools"
arch=${WINEARCH:-win32}
wo="$prefix/drive_c/wo"
drive="$prefix/dosdevices/q:"
run() { "$tools/wine-run.sh" --arch "$arch" --prefix "$prefix" --says "$@"; }
view=; [ "$arch" = win64 ] && view=/reg:64
loop=
finish() {
    [ -n "$loop" ] && kill "$loop" 2>/dev/null && wait "$loop" 2>/dev/null
    run reg delete 'HKLM\SOFTWARE\Policies\QVFileIO' /f $view >/dev/null 2>&1 || true
    rm -rf "$wo" "$drive"
}
trap finish EXIT

rm -rf "$wo" "$drive"
mkdir -p "$wo/allowed/sub" "$wo/secret/inner" "$wo/trail" "$wo/qdrive"
echo secret > "$wo/secret/s.txt"
echo hard > "$wo/secret/h.txt"
echo deep > "$wo/secret/inner/d.txt"
echo a > "$wo/allowed/a.txt"
echo b > "$wo/allowed/sub/b.txt"
ln -s ../secret/s.txt "$wo/allowed/flink"
ln -s ../secret "$wo/allowed/dlink"
ln "$wo/secret/h.txt" "$wo/allowed/hard.txt"
ln -s ../secret "$wo/allowed/subswap"  # what the race puts in place of sub
ln -s "$wo/qdrive" "$drive"
state() { (cd "$wo" && find secret -exec ls -ld --time-style=+%s {} + | awk '{print $1, $5, $6, $7}' && cat secret/s.txt secret/h.txt secret/inner/d.txt | md5sum); }
before=$(state)

# The race: allowed\sub is a folder or a link to the secret folder, the
# two names exchanged in one step (renameat2), so that sub always exists,
# for as long as the script runs.
python3 -c '
import ctypes, os, sys
libc = ctypes.CDLL(None, use_errno=True)
os.chdir(sys.argv[1])
while True:
    libc.renameat2(-100, b"sub", -100, b"subswap", 2)  # AT_FDCWD, RENAME_EXCHANGE
' "$wo/allowed" & loop=$!

status=0
"$tools/run-script.sh" "$prefix" "$here/scripts/lib.js" "$here/scripts/wayout.js" \
    "$(echo "$reglink" | sed 's|^|Z:|; s|/|\\|g')" "$calls" "$view" || status=$?
kill "$loop" && wait "$loop" 2>/dev/null || true
loop=

after=$(state)
if [ "$before" != "$after" ]; then
    printf 'FAIL: the folder outside the policy changed\nbefore:\n%s\nafter:\n%s\n' "$before" "$after"
    exit 1
fi
echo "wayout: the folder outside the policy is as it was"
exit $status
