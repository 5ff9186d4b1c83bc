#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter against GNU grep and ripgrep on one generated log, hot page cache, for the
# literal workloads and for expressions of the shapes users type, each beside the equivalent
# expression of the other tools.
#
#   bench/run-regex-bench.sh [SIZE] [BUILD_DIR] [RUNS] [OPTIONS] [ROWS]
#       defaults: 1G, build, 5, none, all
#
# OPTIONS go to ostrel-filter before its filters (for instance "-j 2"); ROWS "literal" runs only
# the literal workloads (the first six rows).
#
# Every tool writes to /dev/zero (GNU grep stops at the first match when its output is /dev/null)
# and numbers its lines. Each figure is the median of RUNS runs after one warm-up, by hyperfine.
# The ratios are ours divided by theirs: below 1 is faster.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
build=${2:-build}
runs=${3:-5}
options=${4:-}
rows=${5:-all}
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$filter" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
for tool in hyperfine rg grep python3; do
    command -v "$tool" > /dev/null || { echo "needs $tool (apt-get install hyperfine ripgrep)" >&2; exit 2; }
done
mkdir -p bench-data
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$generator" "$size" > "$log"
cat "$log" > /dev/null
export LC_ALL=C
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One row: its name, then our arguments, grep's and rg's, each split like a shell splits words.
names=(); ours=(); greps=(); rgs=()
add_row() { names+=("$1"); ours+=("$2"); greps+=("$3"); rgs+=("$4"); }
add_row "rare literal" "-e OutOfMemoryError" "-F OutOfMemoryError" "-F OutOfMemoryError"
add_row "literal, any case" "-i -e outofmemoryerror" "-i -F outofmemoryerror" "-i -F outofmemoryerror"
add_row "frequent literal" "-e WARN" "-F WARN" "-F WARN"
add_row "five literals" "-e OutOfMemoryError -e Deadlock -e Segfault -e 'Checksum mismatch' -e 'upload 99999'" "-F -e OutOfMemoryError -e Deadlock -e Segfault -e 'Checksum mismatch' -e 'upload 99999'" "-F -e OutOfMemoryError -e Deadlock -e Segfault -e 'Checksum mismatch' -e 'upload 99999'"
add_row "exclude" "-v -e INFO" "-v -F INFO" "-v -F INFO"
add_row "context 2/3" "-B 2 -A 3 -e 'timeout after'" "-B 2 -A 3 -F 'timeout after'" "-B 2 -A 3 -F 'timeout after'"
[ "$rows" == literal ] && literal_rows=${#names[@]}
add_row "leading .*" "-r '.*Exception'" "-E '.*Exception'" "'.*Exception'"
add_row "alternation of groups" "-r '(ConnectionReset)|(NullPointerException)|(status=503)'" "-E '(ConnectionReset)|(NullPointerException)|(status=503)'" "'(ConnectionReset)|(NullPointerException)|(status=503)'"
add_row "alternation, frequent" "-r '(WARN)|(ERROR)'" "-E '(WARN)|(ERROR)'" "'(WARN)|(ERROR)'"
add_row "class+ before literal" "-r '[a-z]+\.example'" "-E '[a-z]+\.example'" "'[a-z]+\.example'"
add_row "class+ before literal, hits" "-r '[a-z]+\.Scheduler - Job'" "-E '[a-z]+\.Scheduler - Job'" "'[a-z]+\.Scheduler - Job'"
add_row "\z runs" "-r '\z ms \(limit \z\)'" "-E '[0-9]+ ms \(limit [0-9]+\)'" "'[0-9]+ ms \(limit [0-9]+\)'"
add_row "\w+ runs" "-r '\w+\.\w+ - Retrying upload \z'" "-E '[a-zA-Z]+\.[a-zA-Z]+ - Retrying upload [0-9]+'" "'[a-zA-Z]+\.[a-zA-Z]+ - Retrying upload [0-9]+'"
add_row "\d runs" "-r 'worker-\d\d\] ERROR'" "-E 'worker-[0-9][0-9]\] ERROR'" "'worker-[0-9][0-9]\] ERROR'"
add_row "digits and dots, no literal" "-r '\z\.\z\.\z\.\z'" "-E '[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+'" "'[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+'"
add_row "alternations, rare literal inside" "-r '((Server)|(Pool)|(TokenCache)|(Scheduler)|(Blob)|(Outbox)) - ((Request)|(Write)) [a-z0-9 ]+ failed: upstream returned status 50'" "-E '(Server|Pool|TokenCache|Scheduler|Blob|Outbox) - (Request|Write) [a-z0-9 ]+ failed: upstream returned status 50'" "'(Server|Pool|TokenCache|Scheduler|Blob|Outbox) - (Request|Write) [a-z0-9 ]+ failed: upstream returned status 50'"
add_row "alternation, runs, literal last" "-r '((worker)|(pool))-\z\] \w+ +\w+\.\w+ - Write to volume'" "-E '(worker|pool)-[0-9]+\] [a-zA-Z]+ +[a-zA-Z]+\.[a-zA-Z]+ - Write to volume'" "'(worker|pool)-[0-9]+\] [a-zA-Z]+ +[a-zA-Z]+\.[a-zA-Z]+ - Write to volume'"
add_row "word class before literal" "-r '[a-zA-Z]+Error: '" "-E '[a-zA-Z]+Error: '" "'[a-zA-Z]+Error: '"
add_row "anchored ^ prefix" "-r '^2026-12-0[1-3] 1[0-2]:\d\d'" "-E '^2026-12-0[1-3] 1[0-2]:[0-9][0-9]'" "'^2026-12-0[1-3] 1[0-2]:[0-9][0-9]'"
add_row "case-insensitive expression" "-i -r 'error.*db-\z'" "-i -E 'error.*db-[0-9]+'" "-i 'error.*db-[0-9]+'"
add_row "ends in the newline abbreviation" "-r 'completed in \z ms\n'" "-E 'completed in [0-9]+ ms\$'" "'completed in [0-9]+ ms\$'"
add_row "expression with .* and \z" "-r 'ERROR.*timeout after \z ms'" "-E 'ERROR.*timeout after [0-9]+ ms'" "'ERROR.*timeout after [0-9]+ ms'"

if [ "$rows" == literal ]; then
    names=("${names[@]:0:$literal_rows}")
fi
for index in "${!names[@]}"; do
    hyperfine --style none --warmup 1 --runs "$runs" --ignore-failure --output /dev/zero \
        --export-json "$results/$index.json" \
        --command-name ostrel "$filter $options -n ${ours[$index]} $log" \
        --command-name grep "grep -a -n --no-group-separator ${greps[$index]} $log" \
        --command-name rg "rg -a -n --no-heading --no-config --no-context-separator ${rgs[$index]} $log" > /dev/null
    echo "${names[$index]}" > "$results/$index.name"
done

python3 - "$results" "${#names[@]}" "$log" "$options" <<'EOF'
import json, statistics, sys
folder, count, log = sys.argv[1], int(sys.argv[2]), sys.argv[3]
print(f"{log}, ostrel-filter {sys.argv[4]}, median of the runs in seconds; ratios are ostrel / other")
print(f"| {'workload':34} | {'ostrel':>7} | {'grep':>7} | {'rg':>7} | {'/grep':>6} | {'/rg':>6} |")
print(f"|{'-' * 36}|{'-' * 9}|{'-' * 9}|{'-' * 9}|{'-' * 8}|{'-' * 8}|")
for i in range(count):
    name = open(f"{folder}/{i}.name").read().strip()
    times = {r["command"]: statistics.median(r["times"]) for r in json.load(open(f"{folder}/{i}.json"))["results"]}
    o, g, r = times["ostrel"], times["grep"], times["rg"]
    print(f"| {name:34} | {o:7.3f} | {g:7.3f} | {r:7.3f} | {o / g:6.2f} | {o / r:6.2f} |")
EOF
