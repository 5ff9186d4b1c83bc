#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter --merge against GNU sort -m -s on three generated logs of the same shape
# (different seeds, so that their lines interleave), hot page cache.
#
#   bench/run-merge-bench.sh [SIZE] [BUILD_DIR] [RUNS] [FOLDER]
#       defaults: 300M, build, 5, /tmp
#
# The logs are written to FOLDER and removed at the end. First the merge without names is
# checked to be byte for byte what sort -m -s -k1,2 writes (the key is the date and the time of
# day, which the generator writes with a fixed width). Every command writes to /dev/zero; each
# figure is the median of RUNS runs after one warm-up, by hyperfine. The peak memory of each
# merge is measured once with /usr/bin/time.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-300M}
build=${2:-build}
runs=${3:-5}
folder=${4:-/tmp}
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$filter" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
for tool in hyperfine sort grep python3 /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "needs $tool (apt-get install hyperfine time)" >&2; exit 2; }
done
export LC_ALL=C
work=$(mktemp -d "$folder/ostrel-merge-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
logs=()
for seed in 1 2 3; do
    "$generator" "$size" "$seed" > "$work/log$seed.log"
    logs+=("$work/log$seed.log")
done
cat "${logs[@]}" > /dev/null

"$filter" --merge --no-filename "${logs[@]}" | cmp -s - <(sort -m -s -k1,2 "${logs[@]}") ||
    { echo "the merge differs from sort -m -s -k1,2" >&2; exit 1; }

results="$work/results"
mkdir "$results"
all="${logs[*]}"
names=(); ours=(); sorts=()
add_row() { names+=("$1"); ours+=("$2"); sorts+=("$3"); }
add_row "merge, no names" "--merge --no-filename" "sort -m -s -k1,2 $all"
add_row "merge, names and numbers" "--merge -n" "sort -m -s -k1,2 $all"
add_row "merge, then a literal" "--merge --no-filename -e ERROR" "sort -m -s -k1,2 $all | grep -F ERROR"
add_row "merge, context 2/3" "--merge --no-filename -B 2 -A 3 -e 'timeout after'" \
    "sort -m -s -k1,2 $all | grep --no-group-separator -B 2 -A 3 -F 'timeout after'"
for index in "${!names[@]}"; do
    hyperfine --style none --warmup 1 --runs "$runs" --output /dev/zero --export-json "$results/$index.json" \
        --command-name ostrel "$filter ${ours[$index]} $all" \
        --command-name sort "${sorts[$index]}" > /dev/null
    echo "${names[$index]}" > "$results/$index.name"
done
peak() { /usr/bin/time -f %M "$@" 2>&1 > /dev/zero | tail -n 1; }
ours_peak=$(peak "$filter" --merge -n "${logs[@]}")
sort_peak=$(peak sort -m -s -k1,2 "${logs[@]}")

python3 - "$results" "${#names[@]}" "$size" "$ours_peak" "$sort_peak" <<'PYTHON'
import json, statistics, sys
folder, count, size, ours_peak, sort_peak = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
print(f"3 logs of {size}, median of the runs in seconds; ratio is ostrel / sort")
print(f"| {'workload':26} | {'ostrel':>7} | {'sort':>7} | {'ratio':>6} |")
print(f"|{'-' * 28}|{'-' * 9}|{'-' * 9}|{'-' * 8}|")
for i in range(count):
    name = open(f"{folder}/{i}.name").read().strip()
    times = {r["command"]: statistics.median(r["times"]) for r in json.load(open(f"{folder}/{i}.json"))["results"]}
    o, s = times["ostrel"], times["sort"]
    print(f"| {name:26} | {o:7.3f} | {s:7.3f} | {o / s:6.2f} |")
print(f"peak memory: ostrel-filter --merge -n {int(ours_peak) // 1024} MB, sort -m {int(sort_peak) // 1024} MB")
PYTHON
