#!/bin/sh
# Runs the benchmarks or the soak against the build of one width, in that
# build's prefix and through the loader of its width.
#   run.sh bench|soak 32|64 BUILD
set -eu
what=$1 width=$2 build=$3
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$width" = 64 ]; then tree=$build/x64 arch=win64; else tree=$build arch=win32; fi
tree=$(cd "$tree" && pwd)
run() { "$top/tools/wine-run.sh" --arch "$arch" --prefix "$tree/wineprefix" "$@"; }
win() { printf 'Z:%s' "$1" | tr / '\\'; }
case $what in
bench)
    # The machine's state, since every figure depends on it.
    echo "$(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
    cmake --build "$tree" --target compare
    sh "$top/bench/trees.sh" "$tree/bench-trees"
    run "$(win "$tree/compare.exe")" "$(win "$tree/bench-trees")"
    run regsvr32 /s "$(win "$tree/QVFileIO3.dll")"
    view=; [ "$arch" = win64 ] && view=/reg:64
    echo
    run cscript //nologo "$(win "$top/bench/policy_bench.js")" "$(win "$tree/bench-trees")" $view
    rm -rf "$tree/bench-trees"
    echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
    ;;
soak)
    cmake --build "$tree" --target soak
    run regsvr32 /s "$(win "$tree/QVFileIO3.dll")"
    run "$(win "$tree/soak.exe")"
    ;;
*)
    echo "usage: $0 bench|soak 32|64 BUILD" >&2
    exit 2
    ;;
esac
