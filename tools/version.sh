#!/bin/sh
# The product's version, from the file VERSION, checked in one place for
# the build, the DLL's version resource and both packages: four numbers
# joined by dots and nothing else. Windows Installer compares the first
# three (major.minor.build, at most 255.255.65535) and ignores the fourth,
# which the package carries all the same, as the DLL's file version does.
#   version.sh WHO     prints the version, or says why WHO cannot use it
who=$1
top=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -r "$top/VERSION" ]; then
    echo "$who: the file VERSION is missing from $top" >&2
    exit 1
fi
version=$(cat "$top/VERSION")
version=${version%"$(printf '\r')"}
refuse() {
    echo "$who: VERSION \"$version\" cannot be a Windows Installer product version: $1" >&2
    exit 1
}
case $version in
"" | *[!0-9.]* | .* | *. | *..*)
    refuse "it must be four numbers joined by dots, like 1.0.0.33, with no spaces and nothing else in the file" ;;
esac
fields=$(printf '%s' "$version" | tr . ' ')
set -- $fields
[ $# -eq 4 ] || refuse "it must be four numbers joined by dots, like 1.0.0.33, not $# numbers"
for field; do [ ${#field} -le 5 ] || refuse "$field is too large"; done
[ "$1" -le 255 ] || refuse "the first number is at most 255"
[ "$2" -le 255 ] || refuse "the second number is at most 255"
[ "$3" -le 65535 ] || refuse "the third number is at most 65535"
[ "$4" -le 65535 ] || refuse "the fourth number is at most 65535"
printf '%s\n' "$version"
