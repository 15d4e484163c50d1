#!/bin/sh
# Builds the package for Windows users: both libraries, install.cmd and
# uninstall.cmd, the mapping script with its settings entry, the examples,
# README.txt and the Group Policy templates, with Windows line ends, and
# the reference as reference.html. Two builds of one commit give the same
# bytes: every entry has the sources' time (tools/source-date.sh) and the
# same mode, and the entries are stored in one order.
#   make-dist.sh DLL32 DLL64 OUT.zip
set -eu
dll32=$1 dll64=$2 out=$3
top=$(cd "$(dirname "$0")/.." && pwd)
epoch=$(sh "$top/tools/source-date.sh" make-dist)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/x86" "$stage/x64" "$stage/mapping" "$stage/examples" "$stage/policy/en-US"
cp "$dll32" "$stage/x86/QVFileIO3.dll"
cp "$dll64" "$stage/x64/QVFileIO3.dll"
# Text files get CR LF, whatever they had.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" > "$2"; }
crlf "$top/dist/install.cmd" "$stage/install.cmd"
crlf "$top/dist/uninstall.cmd" "$stage/uninstall.cmd"
crlf "$top/dist/README.txt" "$stage/README.txt"
crlf "$top/workstation/mapping/qvmap.vbs" "$stage/mapping/qvmap.vbs"
crlf "$top/workstation/mapping/qvfileio.inf" "$stage/mapping/qvfileio.inf"
crlf "$top/examples/demo.vbs" "$stage/examples/demo.vbs"
crlf "$top/examples/hello.js" "$stage/examples/hello.js"
crlf "$top/dist/policy/QVFileIO.admx" "$stage/policy/QVFileIO.admx"
crlf "$top/dist/policy/en-US/QVFileIO.adml" "$stage/policy/en-US/QVFileIO.adml"
sh "$top/tools/render-reference.sh" "$stage/reference.html"
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -d "@$epoch" {} +
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out"
# Entry times are stored as local time: the same for every builder in UTC.
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -q -X -D "$out" -@)
echo "built $out"
