#!/bin/sh
# The package as a Windows user meets it: unpacked into a fresh 64-bit
# prefix, install.cmd run by Wine's cmd, an example run by each script host,
# then uninstall.cmd. Where the host runs no 32-bit code (QV_RUN32=OFF) the
# prefix has no 32-bit side: install.cmd must say so and register the 64-bit
# library alone, and the 32-bit host is not tried.
#   package.sh DLL32 DLL64 PREFIX    (PREFIX is made anew)
set -u
dll32=$1 dll64=$2 prefix=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
export WINEARCH=win64 WINEPREFIX="$prefix" WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
checks=0 failed=0
expect() {  # what, pattern (grep -E), text
    checks=$((checks + 1))
    if printf '%s\n' "$3" | grep -Eq "$2"; then echo "ok: $1"; else
        echo "FAIL: $1: [$2] not in:"; printf '%s\n' "$3"; failed=$((failed + 1)); fi
}

sh "$here/../tools/make-dist.sh" "$dll32" "$dll64" "$work/qvfileio.zip" >/dev/null || exit 1
rm -rf "$prefix"
"$here/../tools/wine-run.sh" --prefix "$prefix" cmd /c exit 0 </dev/null >/dev/null 2>&1
# A host without 32-bit code makes prefixes without a 32-bit side; on a host
# with it, the 64-bit-only path takes that side away to be the same.
[ "${QV_RUN32:-ON}" = OFF ] && rm -f "$prefix/drive_c/windows/syswow64/regsvr32.exe"
mkdir -p "$prefix/drive_c/QVFileIO"
unzip -q "$work/qvfileio.zip" -d "$prefix/drive_c/QVFileIO"
files=$(cd "$prefix/drive_c/QVFileIO" && find . -type f | sort)
expect "the package's files" "x64/QVFileIO3.dll" "$files"
expect "the package's reference" "reference.html" "$files"
expect "the package's Group Policy template" "^./policy/QVFileIO.admx$" "$files"
expect "the package's Group Policy language file" "^./policy/en-US/QVFileIO.adml$" "$files"

w64() { /usr/lib/wine/wine64 "$@" </dev/null 2>/dev/null | tr -d '\r'; }
w32() { /usr/lib/wine/wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
out=$(w64 cmd /c 'C:\QVFileIO\install.cmd')
if [ "${QV_RUN32:-ON}" = OFF ]; then
    expect "install.cmd says the 32-bit library was not installed" \
        "The 32-bit library was not installed: this Windows runs no 32-bit programs" "$out"
else
    expect "install.cmd registers the 32-bit library" "Registered the 32-bit library" "$out"
fi
expect "install.cmd registers the 64-bit library" "Registered the 64-bit library" "$out"
expect "install.cmd says it is installed" 'QVFileIO is installed: scripts create it with CreateObject\("QVFileIOSvr.QVFileIO3.1"\)\.$' "$out"
example='C:\QVFileIO\examples\hello.js'
out=$(w64 cscript //nologo "$example")
expect "the example in the 64-bit host" "Read: Hello from QVFileIO" "$out"
expect "which is the 64-bit host" "Script host: AMD64" "$out"
if [ "${QV_RUN32:-ON}" = OFF ]; then
    echo "the 32-bit host was not tried: this host runs no 32-bit Windows programs"
else
    out=$(w32 'C:\windows\syswow64\cscript.exe' //nologo "$example")
    expect "the example in the 32-bit host" "Read: Hello from QVFileIO" "$out"
    expect "which is the 32-bit host" "Script host: x86" "$out"
fi
out=$(w64 cmd /c 'C:\QVFileIO\uninstall.cmd')
expect "uninstall.cmd removes both" "QVFileIO is removed" "$out"
cp "$here/scripts/width.js" "$prefix/drive_c/width.js"
expect "nothing left to create" "cannot be created" "$(w64 cscript //nologo 'C:\width.js')"
echo "$checks checks, $failed failed"
[ "$failed" = 0 ]
