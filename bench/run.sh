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
    cmake --build "$tree" --target readfloor
    run "$(win "$tree/readfloor.exe")"
    run regsvr32 /s "$(win "$tree/QVFileIO3.dll")"
    run cscript //nologo "$(win "$top/bench/read_bench.js")"
    sh "$top/bench/trees.sh" "$tree/bench-trees"
    run cscript //nologo "$(win "$top/bench/listing_bench.vbs")" "$(win "$tree/bench-trees")"
    sh "$top/bench/trees.sh" "$tree/bench-trees"
    view=; [ "$arch" = win64 ] && view=/reg:64
    run cscript //nologo "$(win "$top/bench/policy_bench.js")" "$(win "$tree/bench-trees")" $view
    rm -rf "$tree/bench-trees"
    run cscript //nologo "$(win "$top/bench/write_bench.js")"
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
