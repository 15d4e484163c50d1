#!/bin/sh
# The administrator's policy, in the build's prefix: a tree on C: with a
# link out of the allowed folder and one inside it (made from the Unix
# side), then tests/scripts/confinement.js, which sets the policy with reg
# for each of its cases. Afterwards the secret folder must be byte for
# byte as it was, looked at from here, and the policy key must be gone, so
# that no other test is confined.
#   confinement.sh PREFIX
set -eu
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
tools="$here/../tools"
arch=${WINEARCH:-win32}
cf="$prefix/drive_c/cf"
run() { "$tools/wine-run.sh" --arch "$arch" --prefix "$prefix" --says "$@"; }  # all print
view=; [ "$arch" = win64 ] && view=/reg:64
removePolicy() { run reg delete 'HKLM\SOFTWARE\Policies\QVFileIO' /f $view >/dev/null 2>&1 || true; }
trap 'removePolicy; rm -rf "$cf"' EXIT

rm -rf "$cf"
mkdir -p "$cf/allowedfolder/sub" "$cf/secretfolder/inner" "$cf/readonlyfolder"
echo secret > "$cf/secretfolder/s.txt"
echo deep > "$cf/secretfolder/inner/d.txt"
echo a > "$cf/allowedfolder/a.txt"
echo b > "$cf/allowedfolder/sub/b.txt"
echo r > "$cf/readonlyfolder/r.txt"
ln -s ../secretfolder "$cf/allowedfolder/link"
ln -s sub "$cf/allowedfolder/inlink"
mkdir "$cf/allowedfolder/tree"
echo x > "$cf/allowedfolder/tree/x.txt"
mkdir -p "$cf/allowedfolder/tree/deep/er"
echo y > "$cf/allowedfolder/tree/deep/y.txt"
echo z > "$cf/allowedfolder/tree/deep/er/z.txt"
ln -s ../../secretfolder "$cf/allowedfolder/tree/out"
secret_before=$(cd "$cf" && find secretfolder readonlyfolder -exec ls -ld --time-style=+%s {} + | awk '{print $1, $5, $6, $7}'; cat secretfolder/s.txt secretfolder/inner/d.txt readonlyfolder/r.txt | md5sum)

# The short names the prefix gave the two folders.
short() { run cmd /c dir /x 'C:\cf' | tr -d '\r' | awk -v n="$1" '$NF == n { print $(NF-1) }'; }
drive_c="Z:$(echo "$prefix/drive_c" | tr / '\\')"
"$tools/run-script.sh" "$prefix" "$here/scripts/lib.js" "$here/scripts/confinement.js" \
    "$(short secretfolder)" "$(short allowedfolder)" "$drive_c" "$view"

secret_after=$(cd "$cf" && find secretfolder readonlyfolder -exec ls -ld --time-style=+%s {} + | awk '{print $1, $5, $6, $7}'; cat secretfolder/s.txt secretfolder/inner/d.txt readonlyfolder/r.txt | md5sum)
if [ "$secret_before" != "$secret_after" ]; then
    printf 'FAIL: the folders outside the policy changed\nbefore:\n%s\nafter:\n%s\n' "$secret_before" "$secret_after"
    exit 1
fi
run reg query 'HKLM\SOFTWARE\Policies\QVFileIO' $view >/dev/null 2>&1 && { echo "FAIL: the policy key was left behind"; exit 1; }
echo "confinement: the folders outside the policy are as they were"
