#!/bin/sh
# make dist: the package for Windows users (qvfileio-<version>.zip) and the
# Windows Installer package (qvfileio-<version>.msi), with SHA256SUMS
# beside them, in OUTDIR. Where a certificate is given, both DLLs are
# signed with Authenticode before they are packed, and then the msi.
# Everything is made in a scratch folder next to OUTDIR and moved there
# only when all of it succeeded: a failure leaves no package of its own
# there, signed in part or not at all. What signs comes from the
# environment (make dist NAME=...), and is checked before anything is built:
#   SIGN_CERT           a PKCS#12 file (.pfx, .p12) holding the certificate
#                       and its key, or a PEM certificate (with SIGN_KEY)
#   SIGN_KEY            the PEM certificate's private key
#   SIGN_PASSWORD_FILE  a file whose first line is the password of the
#                       PKCS#12 file or of the key
#   SIGN_TIMESTAMP      the address of an RFC 3161 time-stamp server
#   release.sh DLL32 DLL64 REGISTER32 OUTDIR
set -eu
dll32=$1 dll64=$2 register32=$3 outdir=$4
top=$(cd "$(dirname "$0")/.." && pwd)
refuse() { echo "make dist: $*" >&2; exit 1; }
version=$(sh "$top/tools/version.sh" "make dist")
SOURCE_DATE_EPOCH=$(sh "$top/tools/source-date.sh" "make dist")
export SOURCE_DATE_EPOCH
mkdir -p "$(dirname "$outdir")"
stage=$(mktemp -d "$(dirname "$outdir")/.dist.XXXXXX")
trap 'rm -rf "$stage"' EXIT
trap 'exit 1' INT TERM HUP

# The password argument of openssl, from the password file when there is one.
passin() { if [ -n "${SIGN_PASSWORD_FILE-}" ]; then "$@" -passin "file:$SIGN_PASSWORD_FILE"; else "$@" -passin pass:; fi; }

# The signing certificate: it opens with the password, holds its key, is
# valid now, and may sign code. Its own certificate goes to $stage/signer.pem.
check_signer() {
    cert=$SIGN_CERT
    command -v osslsigncode >/dev/null || refuse "osslsigncode is missing (make deps installs it)"
    [ -f "$cert" ] && [ -r "$cert" ] || refuse "the certificate SIGN_CERT=$cert does not exist or cannot be read"
    if [ -n "${SIGN_PASSWORD_FILE-}" ]; then
        [ -f "$SIGN_PASSWORD_FILE" ] && [ -r "$SIGN_PASSWORD_FILE" ] ||
            refuse "the password file SIGN_PASSWORD_FILE=$SIGN_PASSWORD_FILE does not exist or cannot be read"
        [ -n "$(head -n 1 "$SIGN_PASSWORD_FILE" | tr -d '\r')" ] ||
            refuse "the password file SIGN_PASSWORD_FILE=$SIGN_PASSWORD_FILE is empty: its first line must be the password"
    fi
    if [ -n "${SIGN_KEY-}" ]; then
        [ -f "$SIGN_KEY" ] && [ -r "$SIGN_KEY" ] || refuse "the key SIGN_KEY=$SIGN_KEY does not exist or cannot be read"
        openssl x509 -in "$cert" -out "$stage/signer.pem" 2>/dev/null ||
            refuse "the certificate SIGN_CERT=$cert is not a PEM certificate"
        passin openssl pkey -in "$SIGN_KEY" -pubout -out "$stage/key.pub" 2>/dev/null ||
            refuse "the key SIGN_KEY=$SIGN_KEY cannot be opened: the password (SIGN_PASSWORD_FILE) is wrong, or it is no PEM private key"
        openssl x509 -in "$stage/signer.pem" -noout -pubkey >"$stage/cert.pub"
        cmp -s "$stage/key.pub" "$stage/cert.pub" ||
            refuse "the key SIGN_KEY=$SIGN_KEY is not the key of the certificate SIGN_CERT=$cert"
    else
        ! grep -q -e '-----BEGIN' "$cert" ||
            refuse "the certificate SIGN_CERT=$cert is a PEM file: give its private key as SIGN_KEY, or give a PKCS#12 (.pfx) file"
        passin openssl pkcs12 -in "$cert" -nokeys -clcerts -out "$stage/signer.pem" 2>/dev/null ||
            passin openssl pkcs12 -legacy -in "$cert" -nokeys -clcerts -out "$stage/signer.pem" 2>/dev/null ||
            refuse "the certificate SIGN_CERT=$cert cannot be opened: the password (SIGN_PASSWORD_FILE) is wrong, or it is no PKCS#12 (.pfx) file"
        grep -q -e '-----BEGIN CERTIFICATE' "$stage/signer.pem" ||
            refuse "the certificate SIGN_CERT=$cert holds no certificate with its private key"
    fi
    subject=$(openssl x509 -in "$stage/signer.pem" -noout -subject -nameopt oneline | sed 's/^subject=//')
    openssl x509 -in "$stage/signer.pem" -noout -checkend 0 >/dev/null ||
        refuse "the certificate SIGN_CERT=$cert ($subject) has expired: it was valid until" \
               "$(openssl x509 -in "$stage/signer.pem" -noout -enddate | sed 's/^notAfter=//')"
    start=$(openssl x509 -in "$stage/signer.pem" -noout -startdate | sed 's/^notBefore=//')
    [ "$(date -d "$start" +%s)" -le "$(date +%s)" ] ||
        refuse "the certificate SIGN_CERT=$cert ($subject) is not valid before $start"
    case $(openssl x509 -in "$stage/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null) in
    *"Code Signing"*) ;;
    *) refuse "the certificate SIGN_CERT=$cert ($subject) cannot sign code: its extended key usage has no Code Signing" ;;
    esac
    case $(openssl x509 -in "$stage/signer.pem" -noout -ext keyUsage 2>/dev/null) in
    "" | *"Digital Signature"*) ;;
    *) refuse "the certificate SIGN_CERT=$cert ($subject) cannot sign code: its key usage has no Digital Signature" ;;
    esac
}

# An Authenticode signature, SHA-256, with the time stamp where one is asked for.
sign() {  # IN OUT
    what=$(basename "$1")
    if [ -n "${SIGN_KEY-}" ]; then set -- -certs "$SIGN_CERT" -key "$SIGN_KEY" -in "$1" -out "$2"
    else set -- -pkcs12 "$SIGN_CERT" -in "$1" -out "$2"; fi
    if [ -n "${SIGN_PASSWORD_FILE-}" ]; then set -- "$@" -readpass "$SIGN_PASSWORD_FILE"; fi
    if [ -n "${SIGN_TIMESTAMP-}" ]; then set -- "$@" -ts "$SIGN_TIMESTAMP"; fi
    if ! osslsigncode sign -h sha256 -n QVFileIO "$@" >"$stage/sign.log" 2>&1; then
        sed 's/^/  /' "$stage/sign.log" >&2
        [ -z "${SIGN_TIMESTAMP-}" ] || refuse "signing $what failed; if the time-stamp server" \
            "SIGN_TIMESTAMP=$SIGN_TIMESTAMP cannot be reached, sign where it can, or without SIGN_TIMESTAMP"
        refuse "signing $what failed"
    fi
}

if [ -n "${SIGN_CERT-}" ]; then
    check_signer
    echo "Signing with $subject"
else
    [ -z "${SIGN_KEY-}${SIGN_PASSWORD_FILE-}${SIGN_TIMESTAMP-}" ] ||
        refuse "SIGN_KEY, SIGN_PASSWORD_FILE and SIGN_TIMESTAMP sign only with a certificate: give SIGN_CERT too"
    echo "The packages are not signed: no certificate was given (make dist SIGN_CERT=file.pfx SIGN_PASSWORD_FILE=file signs them)."
fi

mkdir "$stage/out" "$stage/x86" "$stage/x64"
if [ -n "${SIGN_CERT-}" ]; then
    sign "$dll32" "$stage/x86/QVFileIO3.dll"
    sign "$dll64" "$stage/x64/QVFileIO3.dll"
else
    cp "$dll32" "$stage/x86/QVFileIO3.dll"
    cp "$dll64" "$stage/x64/QVFileIO3.dll"
fi
zip=qvfileio-$version.zip msi=qvfileio-$version.msi
sh "$top/tools/make-dist.sh" "$stage/x86/QVFileIO3.dll" "$stage/x64/QVFileIO3.dll" "$stage/out/$zip" >/dev/null
sh "$top/tools/make-msi.sh" "$stage/x86/QVFileIO3.dll" "$stage/x64/QVFileIO3.dll" "$register32" \
    "$stage/unsigned.msi" >"$stage/msi.log"
if [ -n "${SIGN_CERT-}" ]; then sign "$stage/unsigned.msi" "$stage/out/$msi"
else mv "$stage/unsigned.msi" "$stage/out/$msi"; fi
(cd "$stage/out" && sha256sum "$zip" "$msi" >SHA256SUMS)

mkdir -p "$outdir"
for file in "$zip" "$msi" SHA256SUMS; do mv -f "$stage/out/$file" "$outdir/$file"; done
sed "s|^built .* (|built $outdir/$msi (|" "$stage/msi.log"
echo "built $outdir/$zip"
echo "SHA-256 sums in $outdir/SHA256SUMS:"
sed 's/^/  /' "$outdir/SHA256SUMS"
