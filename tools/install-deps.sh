#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing.
# A host that runs no 32-bit code also gets what makes and runs the emulated
# machine in which its 32-bit tests run (tools/vm).
set -e
packages="cmake make g++-mingw-w64-i686-posix mingw-w64-tools wine wine32:i386 libwine-dev googletest xvfb xdotool g++-mingw-w64-x86-64-posix wine64 zip unzip wixl pandoc python3 git openssl osslsigncode"
machine="qemu-system-x86 qemu-utils mmdebstrap e2fsprogs"
missing() {
    for p; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || printf ' %s' "$p"
    done
}
install() {
    [ -n "$1" ] || return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages:$1 (run as root, or install them)" >&2
        exit 1
    fi
    echo "installing:$1"
    dpkg --add-architecture i386
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $1
}
install "$(missing $packages)"
/usr/lib/wine/wine --version >/dev/null 2>&1 || install "$(missing $machine)"
