#!/bin/sh
# Runs CTest in one build tree and, when tests were skipped, says how many
# and why: CTest's own summary counts a skipped test among the passed ones.
# Where 32-bit code runs only in the emulated machine (QV_MACHINE), the
# tests that run it run there, in the same tree: the whole 32-bit tree, and
# the 64-bit tree's tests labelled uses32; the rest run here.
#   ctest-tree.sh TREE
tree=$1
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp)
trap 'rm -f "$out" "$out.status" "$out.there"' EXIT
cache() { sed -n "s/^$1:[A-Z]*=//p" "$tree/CMakeCache.txt" 2>/dev/null; }
machine=$(cache QV_MACHINE) sources=$(cache CMAKE_HOME_DIRECTORY)
# CTest where 32-bit code runs: the sources and the build folder at their
# own paths. The tree's prefix is made anew there: one this host made has
# no 32-bit side that runs.
there() {
    epoch=$(sh "$top/tools/source-date.sh" ctest-tree 2>/dev/null) && epoch="--env SOURCE_DATE_EPOCH=$epoch"
    (cd "$tree" && python3 "$top/tools/vm/machine.py" "$machine" --share "$sources" --share "$(dirname "$machine")" \
        $epoch -- rm -rf wineprefix '&&' ctest --output-on-failure "$@")
}
{
    status=0
    case "$machine:$(cache QV_MACHINE_TESTS)" in
    :*) (cd "$tree" && ctest --output-on-failure) || status=$? ;;
    *:all) there || status=$? ;;
    *:*) (cd "$tree" && ctest --output-on-failure -LE uses32) || status=$?
         echo "== $tree: the tests that use the 32-bit side, in the emulated machine"
         there -L uses32 || status=$? ;;
    esac
    echo $status >"$out.status"
} | tee "$out"
status=$(cat "$out.status")
total=$(sed -n 's/.*tests failed out of \([0-9]*\)$/\1/p' "$out" | awk '{ n += $1 } END { print n + 0 }')
if [ "$(grep -c 'tests failed out of' "$out")" -gt 1 ]; then
    failed=$(sed -n 's/.* \([0-9]*\) tests failed out of [0-9]*$/\1/p' "$out" | awk '{ n += $1 } END { print n + 0 }')
    echo "$tree: $failed of $total tests failed, here and in the emulated machine."
fi
skipped=$(grep -c '\*\*\*Skipped' "$out")
if [ "$skipped" -gt 0 ]; then
    reason=$(cache QV_SKIP_REASON)
    echo "$tree: $skipped of $total tests were skipped, not passed: ${reason:-see above}."
fi
exit "$status"
