#!/bin/sh
# The one time the packages carry (their files' times, the msi's summary
# information): SOURCE_DATE_EPOCH when it is set, otherwise the time of the
# sources' last commit; so two builds of one commit agree, wherever and
# whenever they run.
#   source-date.sh WHO     prints seconds since 1970 (UTC)
who=$1
top=$(cd "$(dirname "$0")/.." && pwd)
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null)}
case $epoch in
"") echo "$who: the sources are not a git checkout, so their time is unknown: set SOURCE_DATE_EPOCH (seconds since 1970)" >&2
    exit 1 ;;
*[!0-9]*) echo "$who: SOURCE_DATE_EPOCH \"$epoch\" is not a number of seconds since 1970" >&2
    exit 1 ;;
esac
# A zip entry cannot be older than 1980.
[ "$epoch" -ge 315532800 ] || epoch=315532800
echo "$epoch"
