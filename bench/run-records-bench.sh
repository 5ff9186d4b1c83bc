#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter deciding records (--records) beside deciding lines, hot page cache, on the
# generated log and on a copy of it with stack traces after its ERROR lines, with GNU grep's time
# for the same literal beside them (grep decides lines: it is the floor, not the same output).
#
#   bench/run-records-bench.sh [SIZE] [BUILD_DIR] [RUNS]
#       defaults: 1G, build, 5
#
# The traced copy is written once to $TMPDIR (or /tmp) and kept for later runs. Records are read
# in one pass, so the lines rows are given both on every core and with -j 1. Every tool writes to
# /dev/zero and numbers its lines; each figure is the median of RUNS runs after one warm-up.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
build=${2:-build}
runs=${3:-5}
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$filter" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
for tool in hyperfine grep mawk python3; do
    command -v "$tool" > /dev/null || { echo "needs $tool (apt-get install hyperfine mawk)" >&2; exit 2; }
done
mkdir -p bench-data
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$generator" "$size" > "$log"
traced="${TMPDIR:-/tmp}/ostrel-bench-$size-traced.log"
if [ ! -s "$traced" ]; then
    # Three to ten frames after each ERROR line, as a Java service writes an exception.
    LC_ALL=C mawk '{ print } / ERROR / { n = 3 + NR % 8; for (i = 0; i < n; i++) printf "\tat com.example.service.Handler.step%d(Handler.java:%d)\n", i, 40 + i }' \
        "$log" > "$traced.part"
    mv "$traced.part" "$traced"
fi
export LC_ALL=C
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

names=(); files=(); ours=(); greps=()
add_row() { names+=("$1"); files+=("$2"); ours+=("$3"); greps+=("$4"); }
for file in "$log" "$traced"; do
    kind=plain
    [ "$file" == "$traced" ] && kind=traced
    add_row "$kind: rare literal" "$file" "-e OutOfMemoryError" "-F OutOfMemoryError"
    add_row "$kind: frequent literal" "$file" "-e WARN" "-F WARN"
    add_row "$kind: literal in frames" "$file" "-e step7" "-F step7"
    add_row "$kind: context 2/3" "$file" "-B 2 -A 3 -e 'timeout after'" "-B 2 -A 3 -F 'timeout after'"
    add_row "$kind: exclude" "$file" "-v -e INFO" "-v -F INFO"
done

for index in "${!names[@]}"; do
    cat "${files[$index]}" > /dev/null
    hyperfine --style none --warmup 1 --runs "$runs" --ignore-failure --output /dev/zero \
        --export-json "$results/$index.json" \
        --command-name records "$filter -n --records ${ours[$index]} ${files[$index]}" \
        --command-name lines "$filter -n ${ours[$index]} ${files[$index]}" \
        --command-name lines-j1 "$filter -j 1 -n ${ours[$index]} ${files[$index]}" \
        --command-name grep "grep -a -n --no-group-separator ${greps[$index]} ${files[$index]}" > /dev/null
    echo "${names[$index]}" > "$results/$index.name"
done

python3 - "$results" "${#names[@]}" "$log" "$traced" <<'PYTHON'
import json, statistics, sys
folder, count = sys.argv[1], int(sys.argv[2])
print(f"plain: {sys.argv[3]}; traced: {sys.argv[4]}; median seconds; ratios are records / other")
print(f"| {'workload':28} | {'records':>7} | {'lines':>7} | {'lines -j1':>9} | {'grep':>7} | {'/lines -j1':>10} | {'/grep':>6} |")
print(f"|{'-' * 30}|{'-' * 9}|{'-' * 9}|{'-' * 11}|{'-' * 9}|{'-' * 12}|{'-' * 8}|")
for i in range(count):
    name = open(f"{folder}/{i}.name").read().strip()
    t = {r["command"]: statistics.median(r["times"]) for r in json.load(open(f"{folder}/{i}.json"))["results"]}
    r, l, l1, g = t["records"], t["lines"], t["lines-j1"], t["grep"]
    print(f"| {name:28} | {r:7.3f} | {l:7.3f} | {l1:9.3f} | {g:7.3f} | {r / l1:10.2f} | {r / g:6.2f} |")
PYTHON
