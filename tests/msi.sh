#!/bin/sh
# The Windows Installer package as an administrator meets it, in fresh
# 64-bit prefixes: a silent install, the script hosts creating the class,
# the registry equal to what the libraries' own registration writes, a
# silent uninstall leaving nothing of ours, an upgrade in place, and a
# VERSION the installer cannot use refused. The package is built the same
# way on every host; where the host runs no 32-bit code, the 32-bit side
# of the reference registration is register32.exe's and the 32-bit script
# host is not tried (test registration-32 compares register32.exe with the
# 32-bit regsvr32 where both run).
#   msi.sh DLL32 DLL64 REGISTER32 WORKDIR    (WORKDIR is made anew)
set -u
dll32=$1 dll64=$2 register32=$3 dir=$4
top=$(cd "$(dirname "$0")/.." && pwd)
run32=yes
if [ "${QV_RUN32:-ON}" = OFF ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then run32=""; fi
SOURCE_DATE_EPOCH=$(sh "$top/tools/source-date.sh" msi.sh) || exit 1
export SOURCE_DATE_EPOCH  # the scratch copy of the sources below is no git checkout
rm -rf "$dir" && mkdir -p "$dir"
export WINEARCH=win64 WINEDEBUG=-all
checks=0 failed=0
# The prefixes are kept when a check failed, to be looked at.
trap 'for p in "$dir"/*/system.reg; do WINEPREFIX=${p%/system.reg} wineserver -k 2>/dev/null; done
      [ "$failed" = 0 ] && rm -rf "$dir"' EXIT
expect() {  # what, expected, actual
    checks=$((checks + 1))
    if [ "$2" = "$3" ]; then echo "ok: $1"; else
        echo "FAIL: $1"; printf '%s\n' "$2" >"$dir/want"; printf '%s\n' "$3" >"$dir/got"
        diff -u "$dir/want" "$dir/got"; failed=$((failed + 1)); fi
}
w64() { p=$1; shift; WINEPREFIX="$dir/$p" /usr/lib/wine/wine64 "$@" </dev/null 2>/dev/null | tr -d '\r'; }
fresh() { "$top/tools/wine-run.sh" --arch win64 --prefix "$dir/$1" >/dev/null 2>&1; keep "$1" fresh; }
keep() { WINEPREFIX="$dir/$1" wineserver -w; cp "$dir/$1/system.reg" "$dir/$1.$2.reg"; }
# What changed since the prefix was made, below a key (Windows Installer's
# own bookkeeping below Classes\Installer left out).
changes() { keep "$1" now; perl "$top/tools/regdiff.pl" "$dir/$1.fresh.reg" "$dir/$1.now.reg" "$2" | grep -v '^-\?Software\\Classes\\Installer\\'; }
msiexec() { prefix=$1; shift; w64 "$prefix" msiexec "$@" >/dev/null; echo "exit $?"; }

# The package of this VERSION, and of the next build in a scratch copy
# whose README says which it is; a VERSION of 256 minor versions is refused.
version=$(tr -d ' \r\n' <"$top/VERSION")
next=${version%.*}.$((${version##*.} + 1))
sh "$top/tools/make-msi.sh" "$dll32" "$dll64" "$register32" "$dir/old.msi" >/dev/null || exit 1
mkdir -p "$dir/src/workstation" && cp -r "$top/tools" "$top/dist" "$top/examples" "$top/docs" "$dir/src"
cp -r "$top/workstation/mapping" "$dir/src/workstation"
echo 1.256.0.1 >"$dir/src/VERSION"
refused=$(sh "$dir/src/tools/make-msi.sh" "$dll32" "$dll64" "$register32" "$dir/bad.msi" 2>&1 && echo built)
expect "VERSION 1.256.0.1 is refused" \
    'make-msi: VERSION "1.256.0.1" cannot be a Windows Installer product version: the second number is at most 255' \
    "$refused$(ls "$dir/bad.msi" 2>/dev/null)"
echo "$next" >"$dir/src/VERSION"
echo "build $next" >>"$dir/src/dist/README.txt"
sh "$dir/src/tools/make-msi.sh" "$dll32" "$dll64" "$register32" "$dir/new.msi" >/dev/null || exit 1

# What the libraries' registration writes where the package puts them.
fresh ref
mkdir -p "$dir/ref/drive_c/Program Files/QVFileIO" "$dir/ref/drive_c/Program Files (x86)/QVFileIO"
cp "$dll64" "$dir/ref/drive_c/Program Files/QVFileIO/QVFileIO3.dll"
cp "$dll32" "$dir/ref/drive_c/Program Files (x86)/QVFileIO/QVFileIO3.dll"
cp "$register32" "$dir/ref/drive_c/register32.exe"
w64 ref regsvr32 /s 'C:\Program Files\QVFileIO\QVFileIO3.dll'
if [ -n "$run32" ]; then
    WINEPREFIX="$dir/ref" /usr/lib/wine/wine 'C:\windows\syswow64\regsvr32.exe' /s 'C:\Program Files (x86)\QVFileIO\QVFileIO3.dll'
else
    w64 ref 'C:\register32.exe' 'C:\Program Files (x86)\QVFileIO\QVFileIO3.dll' >/dev/null
fi
registered=$(changes ref 'Software\Classes\')

# Install, use, uninstall.
fresh p
cp "$dir/old.msi" "$dir/new.msi" "$dir/p/drive_c/"
expect "msiexec /i /qn" "exit 0" "$(msiexec p /i 'C:\old.msi' /qn)"
expect "the registry in both views is the libraries' own registration" "$registered" "$(changes p 'Software\Classes\')"
expect "the reference is installed" yes \
    "$(grep -q CreateRegistryKey "$dir/p/drive_c/Program Files/QVFileIO/reference.html" && echo yes)"
expect "the Group Policy templates are installed" "policy/QVFileIO.admx policy/en-US/QVFileIO.adml" \
    "$(cd "$dir/p/drive_c/Program Files/QVFileIO" && echo policy/*.admx policy/*/*.adml)"
expect "the 32-bit library is installed" yes \
    "$(cmp -s "$dll32" "$dir/p/drive_c/Program Files (x86)/QVFileIO/QVFileIO3.dll" && echo yes)"
hello='C:\Program Files\QVFileIO\examples\hello.js'
out=$(w64 p cscript //nologo "$hello" | grep -E '^(Read|Script host):')
expect "the 64-bit host creates the class" "$(printf 'Read: Hello from QVFileIO\nScript host: AMD64')" "$out"
if [ -n "$run32" ]; then
    out=$(WINEPREFIX="$dir/p" /usr/lib/wine/wine 'C:\windows\syswow64\cscript.exe' //nologo "$hello" </dev/null 2>/dev/null |
          tr -d '\r' | grep -E '^(Read|Script host):')
    expect "the 32-bit host creates the class" "$(printf 'Read: Hello from QVFileIO\nScript host: x86')" "$out"
else
    echo "the 32-bit host was not tried: this host runs no 32-bit Windows programs"
fi
expect "msiexec /x /qn" "exit 0" "$(msiexec p /x 'C:\old.msi' /qn)"
expect "no key of ours is left" "" "$(changes p 'Software\' | grep -i -E 'QVFileIO|48F5103C|C714D96A|CCEDE9CE')"
expect "no file of ours is left" "" \
    "$(cd "$dir/p/drive_c" && find . -ipath '*/QVFileIO*' ! -name QVFileIOLog.txt -o -iname qvmap.vbs -o -iname hello.js)"

# N, then N+1 over it: one entry under the Uninstall key, the new files,
# the registration as before.
keep p fresh  # what the script hosts registered for themselves is not ours
msiexec p /i 'C:\old.msi' /qn >/dev/null
expect "msiexec /i of the next build over it" "exit 0" "$(msiexec p /i 'C:\new.msi' /qn)"
expect "one entry under the Uninstall key, of the next build" "$next" \
    "$(changes p 'Software\' | awk -F '\t' '$1 ~ /\\Uninstall\\/ && $2 == "DisplayVersion" { print $4 }')"
expect "the next build's README" "build $next" "$(tail -n 1 "$dir/p/drive_c/Program Files/QVFileIO/README.txt" | tr -d '\r')"
expect "the registry is still the libraries' own registration" "$registered" "$(changes p 'Software\Classes\')"
echo "$checks checks, $failed failed"
[ "$failed" = 0 ]
