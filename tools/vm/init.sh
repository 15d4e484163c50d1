#!/bin/sh
# PID 1 of the emulated machine that runs the 32-bit tests (machine.py
# drives it). At its first boot it makes the Wine prefixes that new prefixes
# are made from (wine-run.sh, QV_PREFIXES); then it says "qvmachine: ready"
# and waits on its second serial port. The machine is saved while it waits
# and restored for every batch, which starts at that wait: the driver sends
# "go" and the time, and the machine runs the job of the share "out" with
# the other shares at their own paths, then powers off.
# UTF-8, as on the hosts: Wine names the Unix files in the locale's
# character set, and in the C locale a name beyond ASCII has no file.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root WINEDEBUG=-all LANG=C.UTF-8
say() { echo "qvmachine: $*" >/dev/console; }
off() { sync; echo o >/proc/sysrq-trigger; sleep 60; }
# The initrd has mounted /proc, /sys and /dev.
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -o remount,rw /
echo qvmachine >/proc/sys/kernel/hostname
modprobe -a 9p 9pnet_virtio overlay

# The prefixes that wineboot makes, once: each takes minutes here, and
# reading all of Wine's libraries they leave them in the page cache. /tmp is
# on the disk: Wine keeps the hidden and system attributes in user extended
# attributes, which this kernel's tmpfs does not keep.
prefixes=/var/lib/qvmachine/prefixes
if [ ! -e $prefixes/made ]; then
    chmod 1777 /tmp
    make() {  # ARCH USER LOADER
        start=$(date +%s)
        as=env
        if [ "$2" != root ]; then
            install -d -o "$2" "/var/lib/qvmachine/home-$2"
            as="runuser -u $2 -- env -u XDG_RUNTIME_DIR HOME=/var/lib/qvmachine/home-$2 USER=$2"
        fi
        install -d -o "$2" "$prefixes/$1-$2" &&
            $as WINEARCH=$1 WINEPREFIX="$prefixes/$1-$2" WINELOADER=$3 $3 wineboot -i >/dev/null 2>&1 &&
            $as WINEPREFIX="$prefixes/$1-$2" wineserver -w &&
            [ -f "$prefixes/$1-$2/system.reg" ] &&
            say "made the $1 prefix of $2 in $(($(date +%s) - start)) s"
    }
    mkdir -p $prefixes
    chmod 755 /var/lib/qvmachine $prefixes
    make win32 root /usr/lib/wine/wine && make win64 root /usr/lib/wine/wine64 &&
        make win32 qvfileio /usr/lib/wine/wine || { say "the prefixes could not be made"; off; }
    touch $prefixes/made
    sync
fi

stty -F /dev/ttyS1 raw -echo
exec 3<>/dev/ttyS1
say ready
read -r word <&3
read -r now <&3
[ "$word" = go ] || { say "the driver said [$word], not go"; off; }
date -s "@$now" >/dev/null

# The shares: "out" (the job, its log and its status) as it is, the others
# at their own paths below an overlay, so that what the tests write stays
# on the machine's disk (extended attributes, speed) and the host's trees
# are not touched. xino: every file and folder of an overlay on one device,
# as on a volume of Windows; without it a file written there shows the
# machine's disk as its device and its folder the overlay, which no volume
# of Windows does, and Wine's answers about the opened file no longer match
# its folder's: the policy's judge refuses every file.
mkdir -p /mnt/out
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 out /mnt/out || { say "no share out"; off; }
while read -r tag path; do
    mkdir -p "/mnt/$tag" "/var/tmp/overlay/$tag/upper" "/var/tmp/overlay/$tag/work" "$path"
    mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose,ro "$tag" "/mnt/$tag" &&
        mount -t overlay overlay \
            -o "lowerdir=/mnt/$tag,upperdir=/var/tmp/overlay/$tag/upper,workdir=/var/tmp/overlay/$tag/work,xino=on" "$path" ||
        echo "qvmachine: the share $tag could not be mounted at $path" >>/mnt/out/log
done </mnt/out/shares
QV_PREFIXES=$prefixes sh /mnt/out/job.sh >>/mnt/out/log 2>&1 </dev/null
echo $? >/mnt/out/status
off
