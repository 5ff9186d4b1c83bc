# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for ostrel-filter: its options, filter settings files (*.flt) after -f, and
# files for the log. Needs nothing beyond bash itself.

_ostrel_filter()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # "--filters=x": bash splits at "=", so the option stands two words before.
    if [[ $prev == "=" && $COMP_CWORD -gt 1 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        cur=${cur#*=}
    fi

    # Everything after "--" names the log.
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == "--" ]]; then
            compopt -o filenames 2> /dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
        fi
    done

    case $prev in
    -f | --filters)
        compopt -o filenames 2> /dev/null
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[Ff][Ll][Tt]' -- "$cur"; compgen -d -- "$cur")
        return 0
        ;;
    -e | --literal | -r | --regex | -B | --before | -A | --after | -j | --threads)
        # A filter's text, a line count or a thread count: nothing to offer.
        return 0
        ;;
    esac

    if [[ $cur == -* ]]; then
        local options="--literal --regex --ignore-case --case-sensitive --before --after --filters
            --exclude --line-numbers --follow --with-filename --no-filename --recursive --threads --merge --records --set --help --version
            -e -r -i -s -B -A -f -v -n -F -H -R -j -h"
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return 0
    fi
    compopt -o filenames 2> /dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return 0
}
complete -F _ostrel_filter ostrel-filter
