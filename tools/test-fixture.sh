#!/bin/sh
# Setup and cleanup of a test run in the build's prefix.
#   test-fixture.sh setup PREFIX DLL    create the prefix, keep one wineserver
#                                       for the whole run, register the DLL
#   test-fixture.sh cleanup PREFIX      stop that wineserver
# The server and the helper processes it keeps must not hold the test's
# output open (CTest would wait for them): their output goes to a file.
set -e
here=$(dirname "$0")
export WINEARCH=${WINEARCH:-win32} WINEPREFIX="$2" WINEDEBUG=-all
log="$2.setup.log"
case "$1" in
setup)
    mkdir -p "$(dirname "$2")"
    if ! (
        set -e
        "$here/wine-run.sh" --prefix "$2" cmd /c exit 0
        # A server that is already up keeps its own persistence: replace it.
        wineserver -k 2>/dev/null || true
        wineserver -w
        wineserver -p
        "$here/wine-run.sh" --prefix "$2" regsvr32 /s "$3"
    ) </dev/null >"$log" 2>&1; then
        cat "$log" >&2
        echo "setup failed" >&2
        exit 1
    fi
    ;;
cleanup)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
