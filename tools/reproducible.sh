#!/bin/sh
# make reproducible: builds both DLLs and both packages a second time from
# a copy of these sources in a scratch folder, and compares them with this
# tree's build, file by file, printing each file's SHA-256 and whether the
# two builds agree. Reproducibility is of unsigned builds: a signature
# carries its own time, so no certificate is used here. Exit status 0 when
# every file agrees.
#   reproducible.sh BUILD     (BUILD: this tree's build folder, built)
set -eu
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
unset SIGN_CERT SIGN_KEY SIGN_PASSWORD_FILE SIGN_TIMESTAMP
SOURCE_DATE_EPOCH=$(sh "$top/tools/source-date.sh" "make reproducible")
export SOURCE_DATE_EPOCH
scratch=$(mktemp -d /tmp/qvfileio-reproducible.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM HUP

# The sources as they are in this tree (committed or not), without the build.
mkdir "$scratch/src"
git -C "$top" ls-files -z --cached --others --exclude-standard |
    tar -C "$top" --null --no-recursion --ignore-failed-read -T - -cf - 2>/dev/null | tar -xf - -C "$scratch/src"

echo "== The second build, in $scratch"
second=$scratch/src/build
cmake -S "$scratch/src" -B "$second" -DQV_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake -S "$scratch/src" -B "$second/x64" -DQV_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build "$second" -j2 --target QVFileIO3 >/dev/null
cmake --build "$second/x64" -j2 --target QVFileIO3 register32 >/dev/null
sh "$scratch/src/tools/release.sh" "$second/QVFileIO3.dll" "$second/x64/QVFileIO3.dll" "$second/x64/register32.exe" \
    "$scratch/second" >/dev/null
echo "== The packages of this tree's build"
sh "$top/tools/release.sh" "$build/QVFileIO3.dll" "$build/x64/QVFileIO3.dll" "$build/x64/register32.exe" \
    "$scratch/first" >/dev/null
cp "$build/QVFileIO3.dll" "$scratch/first/x86-QVFileIO3.dll"
cp "$build/x64/QVFileIO3.dll" "$scratch/first/x64-QVFileIO3.dll"
cp "$second/QVFileIO3.dll" "$scratch/second/x86-QVFileIO3.dll"
cp "$second/x64/QVFileIO3.dll" "$scratch/second/x64-QVFileIO3.dll"

echo "== SHA-256 of each file, this tree's build against the second one"
differ=0
for file in $(cd "$scratch/first" && ls); do
    first=$(sha256sum <"$scratch/first/$file" | cut -c1-64)
    second_sum=$(sha256sum <"$scratch/second/$file" 2>/dev/null | cut -c1-64)
    if [ "$first" = "$second_sum" ]; then
        echo "$first  $file  same"
    else
        echo "$first  $file  DIFFERENT (second build: ${second_sum:-missing})"
        differ=$((differ + 1))
    fi
done
if [ "$differ" -ne 0 ]; then
    echo "$differ file(s) differ between the two builds"
    exit 1
fi
echo "Both builds gave the same files."
