#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages render without a warning, have their sections, and name every option that
# the programs' --help names, with the same text where the page is made from the option table.
#   check-man-pages.sh OSTREL OSTREL_FILTER OSTREL_PAGE OSTREL_FILTER_PAGE
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: $0 OSTREL OSTREL_FILTER OSTREL_PAGE OSTREL_FILTER_PAGE" >&2; exit 2; }
ostrel=$1 filter=$2 ostrel_page=$3 filter_page=$4
command -v man > /dev/null || { echo "man is not installed: skipped"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One line of plain text per paragraph, spaces squeezed: what a reader sees, without the layout.
rendered() { MANWIDTH=1000 man -l "$1" 2> /dev/null | col -b | tr -s ' \t' ' ' | sed 's/^ //'; }

for page in "$ostrel_page" "$filter_page"; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "$page renders with warnings: $warnings"
    text=$(rendered "$page")
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES "SEE ALSO"; do
        grep -qx "$section" <<< "$text" || fail "$page has no section $section"
    done
done

# The option lines of a --help text ("  -h, --help      text", "      --version  text"; a
# description may go on in the lines below), as the option's label, a tab, and its description.
help_options() {
    awk '/^  +-/ { if (line != "") print line; line = $0; next }
         /^  +[^ -]/ && line != "" { sub(/^ +/, " "); line = line $0; next }
         { if (line != "") print line; line = "" }
         END { if (line != "") print line }' |
        awk '{ sub(/^ +/, ""); at = match($0, /  +/); label = substr($0, 1, at - 1)
               text = substr($0, at + RLENGTH); gsub(/ +/, " ", text); print label "\t" text }'
}

# ostrel(1) is written from the option table: every option with its words as --help gives them.
ostrel_text=$(rendered "$ostrel_page")
ostrel_help=$("$ostrel" --help) || fail "ostrel --help failed"
count=0
while IFS=$'\t' read -r label description; do
    count=$((count + 1))
    grep -qxF -- "$label" <<< "$ostrel_text" || fail "ostrel(1) lacks the option $label"
    # The page writes the description as a sentence: capital first letter, full stop.
    sentence="$(tr '[:lower:]' '[:upper:]' <<< "${description:0:1}")${description:1}."
    grep -qxF -- "$sentence" <<< "$ostrel_text" || fail "ostrel(1) does not describe $label as \"$sentence\""
done < <(help_options <<< "$ostrel_help")
[ "$count" -ge 4 ] || fail "ostrel --help lists only $count options"
usage=$(head -n 1 <<< "$ostrel_help")
grep -qxF -- "${usage#Usage: }" <<< "$ostrel_text" || fail "ostrel(1) has not the synopsis \"${usage#Usage: }\""
while IFS= read -r note; do
    [ -n "$note" ] || continue
    grep -qxF -- "$note" <<< "$ostrel_text" || fail "ostrel(1) lacks the note \"$note\""
done < <(awk 'BEGIN { RS = "" } { last = $0 } END { print last }' <<< "$ostrel_help")

# ostrel-filter(1) is written by hand: every option of its --help, named as --help names it.
filter_text=$(rendered "$filter_page")
count=0
while IFS=$'\t' read -r label _; do
    count=$((count + 1))
    grep -qxF -- "$label" <<< "$filter_text" || fail "ostrel-filter(1) lacks the option $label"
done < <("$filter" --help | help_options)
[ "$count" -ge 12 ] || fail "ostrel-filter --help lists only $count options"
for status in 0 1 2; do
    # A tag narrower than the indent shares its line with the text.
    grep -qE "^$status( |$)" <<< "$filter_text" || fail "ostrel-filter(1) does not explain exit status $status"
done

[ "$failures" -eq 0 ] && echo "manual pages agree with --help"
exit $((failures > 0))
