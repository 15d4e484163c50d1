#!/bin/sh
# Setup and cleanup of the tests that run Wine as an unprivileged user:
# root writes through Unix permissions, so a read-only file only refuses
# writes to someone else. Runs as root.
#   user-fixture.sh setup DIR DLL SOURCES
#                                    create the user when missing, give it
#                                    DIR (its home, its own prefix of the
#                                    width WINEARCH names, win32 unless set:
#                                    DIR/prefix), and in DIR/files copies of the
#                                    DLL, the script runner and the user_*.js
#                                    tests), keep one wineserver for the
#                                    prefix, register the copied DLL there
#   user-fixture.sh cleanup DIR      stop that wineserver
# The server must not hold the test's output open (CTest would wait for
# it): its output goes to a file.
set -e
USER_NAME=qvfileio
here=$(cd "$(dirname "$0")" && pwd)
dir=$2
arch=${WINEARCH:-win32}

as_user() {
    runuser -u "$USER_NAME" -- env -u XDG_RUNTIME_DIR HOME="$dir/home" USER="$USER_NAME" \
        WINEARCH="$arch" WINEPREFIX="$dir/prefix" WINEDEBUG=-all "$@"
}

case "$1" in
setup)
    if [ "$(id -u)" != 0 ]; then
        echo "the unprivileged-user tests must be started as root (they switch to $USER_NAME)" >&2
        exit 1
    fi
    # Two runs may race to create the user: only a user still missing fails.
    id -u "$USER_NAME" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$USER_NAME" ||
        id -u "$USER_NAME" >/dev/null
    # Copies in a directory of the user's own: the checkout may sit below a
    # directory the user cannot enter.
    sources=$4
    mkdir -p "$dir/home" "$dir/files"
    cp "$3" "$here/wine-run.sh" "$here/run-script.sh" "$sources/tests/scripts/lib.js" \
        "$sources"/tests/scripts/user_*.js "$dir/files/"
    chown -R "$USER_NAME:" "$dir"
    chmod 755 "$dir"
    dll="Z:$(printf "%s" "$dir/files/$(basename "$3")" | tr / '\\')"
    log="$dir/setup.log"
    if ! (
        set -e
        as_user "$dir/files/wine-run.sh" --prefix "$dir/prefix" cmd /c exit 0
        # A server that is already up keeps its own persistence: replace it.
        as_user wineserver -k 2>/dev/null || true
        as_user wineserver -w
        as_user wineserver -p
        as_user "$dir/files/wine-run.sh" --prefix "$dir/prefix" regsvr32 /s "$dll"
    ) </dev/null >"$log" 2>&1; then
        cat "$log" >&2
        echo "setup of the unprivileged prefix failed" >&2
        exit 1
    fi
    ;;
cleanup)
    id -u "$USER_NAME" >/dev/null 2>&1 && as_user wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 setup DIR DLL SOURCES | cleanup DIR" >&2
    exit 2
    ;;
esac
