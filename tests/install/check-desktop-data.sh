#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry and the AppStream metadata pass their validators without a word, and agree
# with each other and with the program's version.
#   check-desktop-data.sh DESKTOP_ENTRY METAINFO VERSION
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 DESKTOP_ENTRY METAINFO VERSION" >&2; exit 2; }
desktop=$1 metainfo=$2 version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skipped=0

if command -v desktop-file-validate > /dev/null; then
    said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects $desktop"
    [ -z "$said" ] || fail "desktop-file-validate: $said"
else
    echo "desktop-file-validate is not installed (desktop-file-utils)"
    skipped=1
fi
main_categories=$(sed -n 's/^Categories=//p' "$desktop" | tr ';' '\n' |
    grep -cxE 'AudioVideo|Audio|Video|Development|Education|Game|Graphics|Network|Office|Science|Settings|System|Utility')
[ "$main_categories" -eq 1 ] || fail "$desktop has $main_categories main categories"
grep -qE '^Exec=ostrel %[fF]$' "$desktop" || fail "$desktop does not open files with ostrel"

if command -v appstreamcli > /dev/null; then
    said=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli rejects $metainfo: $said"
    # Only the note that the id's domain is not one the validator knows may be said.
    problems=$(grep -E '^[EWP]: ' <<< "$said")
    [ -z "$problems" ] || fail "appstreamcli: $problems"
else
    echo "appstreamcli is not installed (appstream)"
    skipped=1
fi
id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
[ "$(basename "$metainfo")" == "$id.metainfo.xml" ] || fail "$metainfo is not named after its id $id"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ "$launchable" == "$(basename "$desktop")" ] || fail "$metainfo launches '$launchable', not $(basename "$desktop")"
grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo has no release $version"
for binary in ostrel ostrel-filter; do
    grep -q "<binary>$binary</binary>" "$metainfo" || fail "$metainfo does not provide $binary"
done
mime=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
for type in $mime; do
    grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "$metainfo does not provide $type"
done

[ "$failures" -eq 0 ] || exit 1
[ "$skipped" -eq 0 ] || exit 77
echo "desktop entry and metadata are valid"
