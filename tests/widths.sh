#!/bin/sh
# The probe of the widths a host runs, with stand-in loaders, and the
# report of skipped tests, with a scratch CTest project: a host that cannot
# run 32-bit code must never pass for one that can, and a skipped test must
# never be counted as passed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checks=0 failed=0
expect() {  # what, expected, actual
    checks=$((checks + 1))
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected [$2], got [$3]"; failed=$((failed + 1)); fi
}
printf '#!/bin/sh\necho wine-8.0\n' >"$work/runs"
printf '#!/bin/sh\nexit 126\n' >"$work/refuses"
chmod +x "$work/runs" "$work/refuses"
# loader, QV_WIDTHS -> the first word of the answer, or "refused"
probe() {
    out=$(QV_LOADER32=$1 QV_WIDTHS=$2 sh "$here/../tools/widths.sh" 2>/dev/null) || { echo refused; return; }
    echo "${out%% *}"
}
while read -r loader widths expected; do
    [ "$widths" = - ] && widths=""
    expect "loader $loader, QV_WIDTHS [$widths]" "$expected" "$(probe "$work/$loader" "$widths")"
done <<'EOF_CASES'
runs - both
refuses - emulated
missing - 64
runs 64 64
refuses 64 64
runs 32,64 both
refuses 32,64 emulated
missing 32,64 refused
runs 32 refused
runs yes refused
EOF_CASES

# A skipped test is reported as skipped, with the count.
mkdir -p "$work/project"
cat >"$work/project/CMakeLists.txt" <<'EOF_PROJECT'
cmake_minimum_required(VERSION 3.20)
project(skips NONE)
enable_testing()
set(QV_SKIP_REASON "a reason" CACHE INTERNAL "")
add_test(NAME runs COMMAND true)
add_test(NAME skipped COMMAND sh -c "exit 77")
set_tests_properties(skipped PROPERTIES SKIP_RETURN_CODE 77)
EOF_PROJECT
cmake -S "$work/project" -B "$work/tree" >/dev/null
summary=$(sh "$here/../tools/ctest-tree.sh" "$work/tree" | tail -1)
expect "the skipped test is counted apart" "$work/tree: 1 of 2 tests were skipped, not passed: a reason." "$summary"
echo "$checks checks, $failed failed"
[ "$failed" = 0 ]
