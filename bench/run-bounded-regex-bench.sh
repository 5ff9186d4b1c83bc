#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter on the expression shapes that backtrack for minutes or take memory in
# proportion to the line (negations, back references under nested loops), and on ordinary log
# lines with negations and back references, for two builds side by side: time and peak memory.
#
#   bench/run-bounded-regex-bench.sh BEFORE AFTER [LIMIT] [RUNS] [LOG_SIZE]
#       BEFORE, AFTER   two ostrel-filter binaries (say an older build and this one)
#       LIMIT           seconds after which a run is cut off and shown as ">LIMIT" (default 120)
#       RUNS            runs per figure, the median shown (default 3; one only for a run over 10 s)
#       LOG_SIZE        size of the generated log for the ordinary rows (default 256M)
#
# Each row is one command, written to /dev/null; the peak is the resident set's (GNU time). The
# exit column is AFTER's: 0 lines kept, 1 none, 2 an error such as a line an expression is too
# complex for.
set -euo pipefail
cd "$(dirname "$0")/.."
before=${1:?usage: $0 BEFORE AFTER [LIMIT] [RUNS] [LOG_SIZE]}
after=${2:?usage: $0 BEFORE AFTER [LIMIT] [RUNS] [LOG_SIZE]}
limit=${3:-120}
runs=${4:-3}
size=${5:-256M}
for binary in "$before" "$after"; do
    [ -x "$binary" ] || { echo "not a program: $binary" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "needs GNU time (apt-get install time)" >&2; exit 2; }
generator=$(dirname "$after")/../../bench/ostrel-loggen
mkdir -p bench-data/bounded
data=bench-data/bounded
export LC_ALL=C

# The shapes: one line each.
line() { # file, text before the run, byte of the run, run length, text after
    [ -s "$data/$1" ] || python3 -c 'import sys; sys.stdout.write(sys.argv[1] + sys.argv[2] * int(sys.argv[3]) + sys.argv[4] + "\n")' \
        "$2" "$3" "$4" "$5" > "$data/$1"
}
line info-29.log "INFO ERROR " x 18 ""
line info-33.log "INFO ERROR " x 22 ""
line info-10k.log "INFO ERROR " x 10000 ""
line x-10k.log "" x 10000 ""
line x-100k.log "" x 100000 ""
line x-20m.log "" x 20000000 ""
line y-31.log "x" y 30 ""
line xx-31.log "xxINFO ERROR " y 18 ""
log="$data/log-$size.log"
if [ ! -s "$log" ]; then
    [ -x "$generator" ] || { echo "build ostrel-loggen first" >&2; exit 2; }
    "$generator" "$size" > "$log"
fi
cat "$data"/*.log > /dev/null

# One row: its name, the expression, the file.
names=(); expressions=(); files=()
add_row() { names+=("$1"); expressions+=("$2"); files+=("$data/$3"); }
add_row "negation, nested loops, 29 bytes" '^!(DEBUG)(.+)+ERROR$' info-29.log
add_row "negation, nested loops, 33 bytes" '^!(DEBUG)(.+)+ERROR$' info-33.log
add_row "negation, nested loops, 10,011 bytes" '^!(DEBUG)(.+)+ERROR$' info-10k.log
add_row "!q.*\\d, 10,000 bytes" '!q.*\d' x-10k.log
add_row "!q.*\\d, 100,000 bytes" '!q.*\d' x-100k.log
add_row "!q.*\\d, 20 MB" '!q.*\d' x-20m.log
add_row "back reference, nested loops" '^{x}(.+)+\0$' y-31.log
add_row "back reference, then nested loops" '^{x}\0!(DEBUG)(.+)+ERROR$' xx-31.log
add_row "log: negation after a literal" 'ERROR!( Checksum)' "log-$size.log"
add_row "log: anchored negation" '^!(2026-12-01 00).*WARN' "log-$size.log"
add_row "log: negation on every line" '\] !((INFO)|(DEBUG))' "log-$size.log"
add_row "log: !q.*\\d" '!q.*\d' "log-$size.log"
add_row "log: back reference" '{\d\d}:\0' "log-$size.log"

# Prints "seconds kilobytes status" of one run, the seconds as ">LIMIT" when cut off.
measure() {
    local report
    report=$(mktemp)
    /usr/bin/time -o "$report" -f "%e %M %x" timeout "$limit" "$1" -r "$2" "$3" > /dev/null 2>&1 || true
    local seconds kilobytes status
    read -r seconds kilobytes status < <(tail -1 "$report")
    rm -f "$report"
    if [ "$status" = 124 ]; then
        seconds=">$limit"
    fi
    echo "$seconds $kilobytes $status"
}

# The median of RUNS runs (one only when a run takes over 10 s), with the largest peak.
figure() {
    local times=() peak=0 status=0 seconds kilobytes
    for ((run = 0; run < runs; ++run)); do
        read -r seconds kilobytes status < <(measure "$@")
        times+=("$seconds")
        ((kilobytes > peak)) && peak=$kilobytes
        case $seconds in
            '>'*) break ;;
        esac
        awk -v s="$seconds" 'BEGIN { exit !(s > 10) }' && break
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ a[NR] = $0 } END { print a[int((NR + 1) / 2)] }')
    echo "$median $((peak / 1024)) $status"
}

echo "before: $before"
echo "after:  $after"
printf '| %-38s | %9s | %9s | %9s | %9s | %4s |\n' "shape" "before s" "before MB" "after s" "after MB" "exit"
printf '|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..40})" "-----------" "-----------" "-----------" "-----------" "------"
for index in "${!names[@]}"; do
    read -r beforeSeconds beforeMegabytes _ < <(figure "$before" "${expressions[$index]}" "${files[$index]}")
    read -r afterSeconds afterMegabytes afterStatus < <(figure "$after" "${expressions[$index]}" "${files[$index]}")
    printf '| %-38s | %9s | %9s | %9s | %9s | %4s |\n' "${names[$index]}" "$beforeSeconds" "$beforeMegabytes" \
        "$afterSeconds" "$afterMegabytes" "$afterStatus"
done
