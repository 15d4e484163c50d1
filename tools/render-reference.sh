#!/bin/sh
# Renders docs/reference.md into one HTML page that a Windows user opens
# without a Markdown viewer: the packages (zip and msi) carry it.
#   render-reference.sh OUT.html
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
# The page is made wider than pandoc's default column, for the failure tables.
pandoc --standalone --metadata title="QVFileIO reference" -f gfm -t html5 \
    -V header-includes='<style>body { max-width: 72em; }</style>' -o "$1" "$top/docs/reference.md"
