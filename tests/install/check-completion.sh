#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of ostrel-filter, sourced into a bash of its own: options by prefix, every
# long option of --help, filter settings files after -f, any file for the log, nothing for a
# filter's text. The zsh completion names every long option too, and parses when zsh is there.
#   check-completion.sh OSTREL_FILTER BASH_COMPLETION ZSH_COMPLETION
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 OSTREL_FILTER BASH_COMPLETION ZSH_COMPLETION" >&2; exit 2; }
filter=$(realpath "$1") bash_completion=$(realpath "$2") zsh_completion=$(realpath "$3")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/logs" "$folder/saved filters"
touch "$folder/app.log" "$folder/errors.flt" "$folder/OLD.FLT" "$folder/notes.txt"

# What completing the command line (up to its end; a trailing space starts a new word) offers,
# one word a line, sorted.
complete_line() {
    (
        cd "$folder" || exit 1
        # shellcheck disable=SC1090
        source "$bash_completion" || exit 1
        read -ra COMP_WORDS <<< "$1"
        [[ $1 == *" " ]] && COMP_WORDS+=("")
        # As bash splits "--filters=x": the "=" is a word of its own.
        if [[ ${COMP_WORDS[-1]} == --*=* ]]; then
            last=${COMP_WORDS[-1]}
            unset 'COMP_WORDS[-1]'
            COMP_WORDS+=("${last%%=*}" "=" "${last#*=}")
        fi
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE=$1
        COMP_POINT=${#1}
        _ostrel_filter ostrel-filter "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
    )
}

expect() {
    local line=$1 expected
    expected=$(printf '%s\n' "${@:2}" | sed '/^$/d' | sort)
    local offered
    offered=$(complete_line "$line")
    [ "$offered" == "$expected" ] || fail "completing '$line' offers [$(tr '\n' ' ' <<< "$offered")]" \
        "instead of [$(tr '\n' ' ' <<< "$expected")]"
}

expect "ostrel-filter --li" --literal --line-numbers
expect "ostrel-filter --lit" --literal
expect "ostrel-filter -n --ex" --exclude
expect "ostrel-filter --nothing-like-this" ""
expect "ostrel-filter -f " errors.flt OLD.FLT logs "saved filters"
expect "ostrel-filter --filters " errors.flt OLD.FLT logs "saved filters"
expect "ostrel-filter --filters=err" errors.flt
expect "ostrel-filter -e ERROR -f e" errors.flt
expect "ostrel-filter -e ERROR " app.log errors.flt OLD.FLT notes.txt logs "saved filters"
expect "ostrel-filter -e ERROR a" app.log
expect "ostrel-filter -e " ""
expect "ostrel-filter -B " ""
expect "ostrel-filter --regex " ""
expect "ostrel-filter -e x -- -" ""
expect "ostrel-filter -e x -- n" notes.txt

# Every long option that --help names, and no other.
long_options=$("$filter" --help | grep -oE '^ +(-[[:alnum:]], )?--[[:alnum:]-]+' | grep -oE -- '--[[:alnum:]-]+' | sort)
[ "$(wc -l <<< "$long_options")" -ge 12 ] || fail "ostrel-filter --help names too few long options: $long_options"
offered=$(complete_line "ostrel-filter --")
[ "$offered" == "$long_options" ] || fail "completing '--' offers [$(tr '\n' ' ' <<< "$offered")]" \
    "while --help names [$(tr '\n' ' ' <<< "$long_options")]"
short_options=$("$filter" --help | grep -oE '^ +-[[:alnum:]],' | grep -oE -- '-[[:alnum:]]' | sort)
for option in $short_options; do
    grep -qxF -- "$option" <<< "$(complete_line "ostrel-filter -")" || fail "completing '-' does not offer $option"
done

# The zsh completion: every long option, and a script zsh can read.
for option in $long_options; do
    grep -qF -- "$option" "$zsh_completion" || fail "the zsh completion lacks $option"
done
if command -v zsh > /dev/null; then
    zsh -n "$zsh_completion" || fail "zsh cannot parse $zsh_completion"
else
    echo "zsh is not installed: its completion was not parsed"
fi

[ "$failures" -eq 0 ] && echo "completion offers what ostrel-filter takes"
exit $((failures > 0))
