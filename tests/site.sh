#!/bin/sh
# Pages of a table of URLs under a table of site policies, each page played
# by sitehost (Windows' JScript as a browser runs it), and one script under
# cscript, which has no page. The policy and the zone mapping are removed
# afterwards: every other test finds no policy key.
#   site.sh PREFIX SITEHOST SOURCE_DIR
set -u
prefix=$1 sitehost=$2 top=$3
work=$(mktemp -d)
run() { "$top/tools/wine-run.sh" --prefix "$prefix" --says "$@"; }  # all print
# The policy is read from the 64-bit view; a 32-bit prefix has only one.
view=; [ "${WINEARCH:-win32}" = win64 ] && view=/reg:64
policy='HKLM\SOFTWARE\Policies\QVFileIO'
zone='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\ZoneMap\Domains\qvsite.test'
cleanup() {
    run reg delete "$policy" /f $view >/dev/null 2>&1
    run reg delete "$zone" /f >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
winpath() { echo "Z:$1" | tr / '\\'; }
script=$(winpath "$top/tests/scripts/site_page.js")
log="$prefix/drive_c/windows/QVFileIOLog.txt"
failures=0
run reg add "$zone\\intra" /v https /t REG_DWORD /d 1 /f >/dev/null

# Names below corp.example.com: a label of 64 characters, and names of 254
# and 253 characters of labels of 63.
a63=$(printf '%063d' 0 | tr 0 a) b44=$(printf '%044d' 0 | tr 0 b)
labels=$a63.$a63.$a63.
# A page "TOP>FRAME>FRAME" is frames within frames: the last one's document
# holds the object and is the page judged.
pages="https://intranet.example.com/app https://a.corp.example.com/ https://intra.qvsite.test/
https://intranet.example.com.evil.test/ https://evil-intranet.example.com/ https://intranet.example.com@evil.test/
http://intranet.example.com/ https://intranet.example.com:8443/ https://evil.test/?https://intranet.example.com
file:///C:/page.html about:blank
https://intranet.example.com/app>https://evil.test/ad https://evil.test/>https://intranet.example.com/framed
https://intra.qvsite.test/>https://intra.qvsite.test/a>https://evil.test/inner
https://evil.test/>https://evil.test/b>https://intra.qvsite.test/inner
https://evil.test%2fx.corp.example.com/ http://server.:8080/ http://server:8080/
https://${a63}a.corp.example.com/ https://${labels}b$b44.corp.example.com/ https://$labels$b44.corp.example.com/"
intranet='https://intranet.example.com\0https://*.corp.example.com\0http://server:8080'
# Each policy (Sites, Zones; "-" for none) and the pages it allows, in the
# order of $pages: w works, r refused.
while read -r sites zones expected; do
    run reg delete "$policy" /f $view >/dev/null 2>&1
    [ "$sites" = - ] || run reg add "$policy" /v Sites /t REG_MULTI_SZ /d "$sites" /f $view >/dev/null
    [ "$zones" = - ] || run reg add "$policy" /v Zones /t REG_DWORD /d "$zones" /f $view >/dev/null
    rm -f "$log"
    # shellcheck disable=SC2086
    run "$sitehost" "$script" $pages 2>&1 | tr -d '\r' >"$work/out"
    i=0 refused=0
    for page in $pages; do
        i=$((i + 1))
        want=$(echo "$expected" | cut -c$i)
        got=$(grep -A1 -Fx "page: $page" "$work/out" | sed -n 2p)
        case $want in
        w) [ "$got" = works ] ;;
        r) refused=$((refused + 1))
           [ "$got" = "refused 80070005 Refused by the administrator's policy" ] &&
               [ "$(tr -d '\r' <"$log" | grep -cFx "URL: ${page##*>}")" = 1 ] ;;
        *) false ;;  # a row shorter than the pages
        esac || { failures=$((failures + 1)); printf '%s\n' "FAIL: Sites $sites, Zones $zones: $page gave [$got]"; }
    done
    records=$(tr -d '\r' <"$log" 2>/dev/null | grep -c "^Error: Refused by the administrator's policy$")
    [ "$records" = "$refused" ] || { failures=$((failures + 1)); printf '%s\n' "FAIL: Sites $sites, Zones $zones: $records records for $refused refusals"; }
done <<EOF
- - wwwwwwwwwwwwwwwwwwwww
$intranet - wwrrrrrrrrrrwrrrrwrrw
- 2 rrwrrrrrrrrrrrwrrrrrr
- 1 rrrrrrrrrwrrrrrrrrrrr
$intranet 3 wwwrrrrrrwrrwrwrrwrrw
https://intranet.example.com/app\0https://*.*.example.com\0https://intranet.example.com:99999 - rrrrrrrrrrrrrrrrrrrrr
- 8 wwrwwwwwwrwwwwrrwwrrw
EOF

# A script of Windows Script Host has no page: a policy does not touch it.
got=$(run cscript //nologo "$script" | tr -d '\r')
[ "$got" = works ] || { failures=$((failures + 1)); echo "FAIL: cscript under the last policy gave [$got]"; }

echo "$failures failure(s)"
[ "$failures" = 0 ]
