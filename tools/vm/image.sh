#!/bin/sh
# Makes the emulated machine's disk from Debian's packages alone, with the
# host's own apt sources as the mirror: a 64-bit Debian 12 with Wine's 32-
# and 64-bit sides and what the tests run besides (CTest and make, Python,
# Perl, Xvfb and xdotool, zip, wixl, osslsigncode, pandoc, binutils' strings
# and mingw's objdump), the tests' unprivileged user, and init.sh as its
# first process.
#   image.sh DIR    writes DIR/base.img, DIR/vmlinuz, DIR/initrd.img
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
packages="linux-image-amd64 mount initramfs-tools kmod procps passwd file
wine wine32:i386 wine64 libwine:i386 fonts-wine
cmake make python3 perl xvfb xdotool zip unzip wixl osslsigncode openssl pandoc binutils binutils-mingw-w64-x86-64"
mkdir -p "$dir/tmp"
export TMPDIR="$dir/tmp"
root="$dir/root"
trap 'rm -rf "$root" "$dir/tmp"' EXIT
# dpkg need not sync every file of a disk made anew when it fails; the
# initrd needs only what finds the disk (all modules take minutes to pack).
mmdebstrap --mode=root --variant=apt --architectures=amd64,i386 --include="$(echo $packages | tr ' ' ,)" \
    --dpkgopt=force-unsafe-io \
    --essential-hook='mkdir -p "$1/etc/initramfs-tools/conf.d" "$1/etc/initramfs-tools/hooks" && echo MODULES=list >"$1/etc/initramfs-tools/conf.d/qvmachine"' \
    --essential-hook="copy-in $here/initramfs-hook /etc/initramfs-tools/hooks" \
    --customize-hook="copy-in $here/init.sh /sbin" \
    --customize-hook='mv "$1/sbin/init.sh" "$1/sbin/qvmachine-init" && chmod 755 "$1/sbin/qvmachine-init"' \
    --customize-hook='chroot "$1" useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin qvfileio' \
    bookworm "$root" /etc/apt/sources.list.d/debian.sources
cp "$root"/boot/vmlinuz-* "$dir/vmlinuz"
cp "$root"/boot/initrd.img-* "$dir/initrd.img"
# A sparse file: the machine's layers hold only what it writes.
truncate -s 16G "$dir/base.img"
mkfs.ext4 -q -d "$root" -L qvmachine "$dir/base.img"
