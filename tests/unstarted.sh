#!/bin/sh
# wine-run.sh --says runs a program once more only when Wine did not start
# it (nothing printed, or start.exe's "Internal error"), never one that
# printed anything else, and never without --says. A stand-in loader plays
# each case, counting its runs.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/prefix" && touch "$work/prefix/system.reg"
cat >"$work/loader" <<'EOF_LOADER'
#!/bin/sh
n=$(($(cat "$RUNS" 2>/dev/null || echo 0) + 1)); echo $n >"$RUNS"
case "$1:$n" in
silent:1|silent-always:*) exit 3 ;;
internal:1) printf 'Application could not be started.\r\nShellExecuteEx failed: Internal error.\r\n' >&2; exit 1 ;;
loud:*) echo "1 checks, 1 failed"; exit 1 ;;
esac
echo ok
EOF_LOADER
chmod +x "$work/loader"
checks=0 failed=0
while read -r mode says want_out want_runs want_status; do
    [ "$says" = yes ] && says=--says || says=
    [ "$want_out" = - ] && want_out=
    rm -f "$work/runs"
    status=0
    RUNS="$work/runs" QV_LOADER="$work/loader" sh "$here/../tools/wine-run.sh" --prefix "$work/prefix" $says "$mode" \
        >"$work/out" 2>/dev/null || status=$?
    got=$(tr ' ' _ <"$work/out")
    checks=$((checks + 1))
    if [ "$got $(cat "$work/runs") $status" != "$want_out $want_runs $want_status" ]; then
        echo "FAIL: $mode $says: expected [$want_out $want_runs $want_status], got [$got $(cat "$work/runs") $status]"
        failed=$((failed + 1))
    fi
done <<'EOF_CASES'
silent yes ok 2 0
internal yes ok 2 0
loud yes 1_checks,_1_failed 1 1
silent-always yes - 2 3
silent no - 1 3
EOF_CASES
echo "$checks checks, $failed failed"
[ "$failed" = 0 ]
