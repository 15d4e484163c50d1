#!/bin/sh
# Kills the script host (SIGKILL from the Unix side, by its process id) at
# random instants while it overwrites a file again and again, KILLS times
# with Write and KILLS times with CopyFile (scripts/killwrite.js): after
# every kill the file holds one of the two texts, whole; the next run's
# first write removes whatever the killed one left; a last run, not
# killed, leaves nothing beside the file. The check holds for any instant
# of the kill, so no timing matters: a kill that lands before the first
# write or between two writes is checked the same way.
#   killwrite.sh PREFIX [KILLS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 kills=${2:-24}
loader=/usr/lib/wine/wine
[ "${WINEARCH:-win32}" = win64 ] && loader=/usr/lib/wine/wine64
export WINEPREFIX="$prefix" WINEDEBUG=-all
work=$(mktemp -d /tmp/qvkill.XXXXXX)
trap 'rm -rf "$work"' EXIT
dir=$work/files
mkdir "$dir"
head -c 6000000 /dev/zero | tr '\0' a >"$work/a"
head -c 8000000 /dev/zero | tr '\0' b >"$work/b"
cp "$work/a" "$dir/a.txt"
cp "$work/b" "$dir/b.txt"
script="Z:$(echo "$here/scripts/killwrite.js" | tr / '\\')" folder="Z:$(echo "$dir" | tr / '\\')"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One run of the script in the background; its process id in $pid once it
# made its first write (and said whether a leftover survived it). A run that
# Wine ended before any of its code ran (it printed nothing) is run once more.
start() {
    for attempt in 1 2; do
        rm -f "$dir/ready" "$work/out"
        $loader cscript //nologo "$script" "$1" "$folder" "$2" >"$work/out" 2>&1 &
        pid=$!
        while [ ! -e "$dir/ready" ] && kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
        [ -e "$dir/ready" ] && break
        wait "$pid" || true
        [ ! -s "$work/out" ] || { fail "$1: the script ended before its first write: $(cat "$work/out")"; return 1; }
        echo "killwrite.sh: Wine did not start the script; once more" >&2
    done
    [ -e "$dir/ready" ] || { fail "$1: the script did not start"; return 1; }
    grep -q '^no leftover' "$work/out" || fail "$1: $(tr -d '\r' <"$work/out")"
}

whole() {
    cmp -s "$dir/target.txt" "$work/a" || cmp -s "$dir/target.txt" "$work/b" ||
        fail "$1: the file is neither text after kill $2 ($(stat -c %s "$dir/target.txt") bytes)"
}

for mode in write copy; do
    cp "$work/b" "$dir/target.txt"
    cut=0
    for i in $(seq "$kills"); do
        start "$mode" 100000 || continue
        sleep "$(awk -v seed="$(od -An -N4 -tu4 /dev/urandom)" 'BEGIN { srand(seed); printf "%.3f", rand() * 0.8 }')"
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        whole "$mode" "$i"
        [ ! -e "$dir/~target.txt.qvnew" ] || cut=$((cut + 1))
    done
    # The last run's first write takes the leftover away, and its own new
    # file takes the file's place.
    if start "$mode" 0; then
        wait "$pid" || fail "$mode: the last run failed: $(cat "$work/out")"
        whole "$mode" last
        leftovers=$(ls -A "$dir" | grep -v -x -e a.txt -e b.txt -e target.txt -e ready || true)
        [ -z "$leftovers" ] || fail "$mode: left beside the file: $leftovers"
    fi
    echo "$mode: $kills kills, $cut of them while a new file was being made beside the file"
done
[ "$failures" = 0 ] || exit 1
echo "every kill left one text or the other, whole; no leftover survived the next write"
