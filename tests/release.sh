#!/bin/sh
# make dist (tools/release.sh) as a release manager meets it: with a
# throw-away authority's code-signing certificate, kept in a folder whose
# name has a space, both DLLs and the msi are signed and check out against
# that authority, the sums match, and the signed library registers and
# answers a script; bad input is refused with its message and leaves no
# package behind.
#   release.sh DLL32 DLL64 REGISTER32 WORKDIR PREFIX64
#   (WORKDIR is made anew; PREFIX64: this tree's prefix, DLL64 registered in it)
set -u
dll32=$1 dll64=$2 register32=$3 dir=$4 prefix=$5
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEARCH=win64 WINEPREFIX="$prefix" WINEDEBUG=-all
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
rm -rf "$dir" && mkdir -p "$dir/my certs"
trap '/usr/lib/wine/wine64 regsvr32 /s "$(winpath "$dll64")" </dev/null; rm -rf "$dir" "$prefix/drive_c/qvsigned"' EXIT
checks=0 failed=0
expect() {  # what, expected, actual
    checks=$((checks + 1))
    if [ "$2" = "$3" ]; then echo "ok: $1"; else
        echo "FAIL: $1"; echo "  expected: $2"; echo "  got:      $3"; failed=$((failed + 1)); fi
}

# The authority, and certificates it issued: one that signs code, one for
# a web server, one that expired yesterday; each in a .pfx with a password.
c="$dir/my certs"
(
    cd "$c" || exit 1
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=QVFileIO test authority" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
    issue() {  # NAME DAYS EXTENDED-KEY-USAGE
        openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=QVFileIO test $1"
        printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$1.ext"
        openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "$2" -extfile "$1.ext" -out "$1.pem"
        openssl pkcs12 -export -inkey "$1.key" -in "$1.pem" -out "$1.pfx" -passout file:password
    }
    echo 'a password' >password && echo 'not the password' >wrong && : >empty
    issue signer 1 codeSigning && issue server 1 serverAuth && issue expired -1 codeSigning
) >/dev/null 2>&1 || { echo "FAIL: openssl could not make the certificates"; exit 1; }
release() {  # OUTDIR NAME=VALUE...: make dist's output
    out=$1; shift
    env "$@" sh "${src:-$top}/tools/release.sh" "$dll32" "$dll64" "$register32" "$dir/$out" 2>&1
}

# Signed.
release signed SIGN_CERT="$c/signer.pfx" SIGN_PASSWORD_FILE="$c/password" >"$dir/signed.log" ||
    { cat "$dir/signed.log"; echo "FAIL: the signed release"; exit 1; }
version=$(cat "$top/VERSION")
mkdir -p "$prefix/drive_c/qvsigned"
unzip -q "$dir/signed/qvfileio-$version.zip" -d "$prefix/drive_c/qvsigned"
for file in x86/QVFileIO3.dll x64/QVFileIO3.dll; do
    expect "$file in the zip is signed by the authority's signer" "Signature verification: ok" \
        "$(osslsigncode verify -CAfile "$c/ca.pem" -in "$prefix/drive_c/qvsigned/$file" | grep '^Signature verification')"
done
expect "the msi is signed by the authority's signer" "Signature verification: ok" \
    "$(osslsigncode verify -CAfile "$c/ca.pem" -in "$dir/signed/qvfileio-$version.msi" | grep '^Signature verification')"
expect "SHA256SUMS holds the packages' sums" "qvfileio-$version.zip: OK qvfileio-$version.msi: OK" \
    "$(cd "$dir/signed" && sha256sum -c SHA256SUMS | tr '\n' ' ' | sed 's/ $//')"
/usr/lib/wine/wine64 regsvr32 /s 'C:\qvsigned\x64\QVFileIO3.dll' </dev/null
expect "the signed library is the one registered" 'C:\qvsigned\x64\QVFileIO3.dll' \
    "$(/usr/lib/wine/wine64 reg query 'HKCR\CLSID\{48F5103C-D255-4635-ADFF-619925E12071}\InprocServer32' /ve \
       </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')"
expect "the signed library answers a script" "Read: Hello from QVFileIO" \
    "$(/usr/lib/wine/wine64 cscript //nologo 'C:\qvsigned\examples\hello.js' </dev/null 2>/dev/null | tr -d '\r' | grep '^Read:')"

# Refused, with nothing left behind.
refused() {  # WHAT MESSAGE NAME=VALUE...
    what=$1 message=$2; shift 2
    expect "$what: refused" "$message" "$(release refused "$@" | grep '^make dist:')"
    expect "$what: no package left" "" "$(ls -A "$dir/refused" 2>/dev/null; ls -d "$dir"/.dist.* 2>/dev/null)"
}
refused "a wrong password" "make dist: the certificate SIGN_CERT=$c/signer.pfx cannot be opened: the password (SIGN_PASSWORD_FILE) is wrong, or it is no PKCS#12 (.pfx) file" \
    SIGN_CERT="$c/signer.pfx" SIGN_PASSWORD_FILE="$c/wrong"
refused "an empty password file" "make dist: the password file SIGN_PASSWORD_FILE=$c/empty is empty: its first line must be the password" \
    SIGN_CERT="$c/signer.pfx" SIGN_PASSWORD_FILE="$c/empty"
refused "a missing certificate" "make dist: the certificate SIGN_CERT=$c/none.pfx does not exist or cannot be read" \
    SIGN_CERT="$c/none.pfx" SIGN_PASSWORD_FILE="$c/password"
refused "a certificate that cannot sign code" "make dist: the certificate SIGN_CERT=$c/server.pfx (CN = QVFileIO test server) cannot sign code: its extended key usage has no Code Signing" \
    SIGN_CERT="$c/server.pfx" SIGN_PASSWORD_FILE="$c/password"
refused "an expired certificate" "make dist: the certificate SIGN_CERT=$c/expired.pfx (CN = QVFileIO test expired) has expired: it was valid until $(openssl x509 -in "$c/expired.pem" -noout -enddate | sed 's/^notAfter=//')" \
    SIGN_CERT="$c/expired.pfx" SIGN_PASSWORD_FILE="$c/password"
refused "a time-stamp server that does not answer" "make dist: signing QVFileIO3.dll failed; if the time-stamp server SIGN_TIMESTAMP=http://127.0.0.1:9/ cannot be reached, sign where it can, or without SIGN_TIMESTAMP" \
    SIGN_CERT="$c/signer.pfx" SIGN_PASSWORD_FILE="$c/password" SIGN_TIMESTAMP=http://127.0.0.1:9/
src="$dir/src" && mkdir -p "$src" && cp -r "$top/tools" "$src"
for bad in '1.0 .0.33|with no spaces and nothing else in the file' '1.0.0.33.1|not 5 numbers'; do
    echo "${bad%|*}" >"$src/VERSION"
    refused "VERSION ${bad%|*}" "make dist: VERSION \"${bad%|*}\" cannot be a Windows Installer product version: it must be four numbers joined by dots, like 1.0.0.33, ${bad#*|}"
done
echo "$checks checks, $failed failed"
[ "$failed" = 0 ]
