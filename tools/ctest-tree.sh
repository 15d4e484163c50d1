#!/bin/sh
# Runs CTest in one build tree and, when tests were skipped, says how many
# and why: CTest's own summary counts a skipped test among the passed ones.
#   ctest-tree.sh TREE
tree=$1
out=$(mktemp)
trap 'rm -f "$out" "$out.status"' EXIT
{ (cd "$tree" && ctest --output-on-failure); echo $? >"$out.status"; } | tee "$out"
skipped=$(grep -c '\*\*\*Skipped' "$out")
if [ "$skipped" -gt 0 ]; then
    total=$(sed -n 's/.*tests failed out of \([0-9]*\)$/\1/p' "$out" | tail -1)
    reason=$(sed -n 's/^QV_SKIP_REASON:[A-Z]*=//p' "$tree/CMakeCache.txt" 2>/dev/null)
    echo "$tree: $skipped of $total tests were skipped, not passed: ${reason:-see above}."
fi
exit "$(cat "$out.status")"
