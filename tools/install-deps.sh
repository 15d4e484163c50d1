#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing.
set -e
packages="cmake make g++-mingw-w64-i686-posix mingw-w64-tools wine wine32:i386 libwine-dev googletest xvfb xdotool g++-mingw-w64-x86-64-posix wine64 zip unzip wixl pandoc python3 git openssl osslsigncode"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$missing (run as root, or install them)" >&2
    exit 1
fi
echo "installing:$missing"
dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
