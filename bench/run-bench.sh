#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter against cat, wc -l and grep on one generated log, on a hot page cache.
#
#   bench/run-bench.sh [SIZE] [BUILD_DIR]     SIZE defaults to 1G, BUILD_DIR to build
#
# Every tool writes to /dev/zero: GNU grep stops at the first match when its output is /dev/null.
# Each figure is the best of three runs.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
build=${2:-build}
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$filter" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
mkdir -p bench-data
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$generator" "$size" > "$log"
bytes=$(stat -c %s "$log")
cat "$log" > /dev/null

best_of_three() {
    local best=""
    for _ in 1 2 3; do
        local start end elapsed
        start=$(date +%s.%N)
        bash -c "$1" > /dev/zero 2>&1 || true
        end=$(date +%s.%N)
        elapsed=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$elapsed < $best" | bc -l)" = 1 ]; then best=$elapsed; fi
    done
    echo "$best"
}

export LC_ALL=C
cat_time=$(best_of_three "cat '$log'")
wc_time=$(best_of_three "wc -l '$log'")
printf 'file %s: %d bytes, %s lines\n' "$log" "$bytes" "$(wc -l < "$log")"
printf '%-28s %9s %9s\n' "reference" "seconds" "MB/s"
printf '%-28s %9.3f %9.0f\n' "cat" "$cat_time" "$(echo "$bytes / $cat_time / 1000000" | bc -l)"
printf '%-28s %9.3f %9.0f\n' "wc -l" "$wc_time" "$(echo "$bytes / $wc_time / 1000000" | bc -l)"
echo
printf '%-28s %9s %9s %9s %9s %9s %9s\n' "workload" "ostrel s" "MB/s" "grep s" "MB/s" "/grep" "/wc -l"

compare() {
    local name=$1 ours=$2 theirs=$3
    local ours_time theirs_time
    ours_time=$(best_of_three "$ours")
    theirs_time=$(best_of_three "$theirs")
    printf '%-28s %9.3f %9.0f %9.3f %9.0f %9.2f %9.2f\n' "$name" "$ours_time" \
        "$(echo "$bytes / $ours_time / 1000000" | bc -l)" "$theirs_time" \
        "$(echo "$bytes / $theirs_time / 1000000" | bc -l)" \
        "$(echo "$ours_time / $theirs_time" | bc -l)" "$(echo "$ours_time / $wc_time" | bc -l)"
}

f="'$filter' -n"
g="grep -a -n --no-group-separator"
compare "rare literal" "$f -e OutOfMemoryError '$log'" "$g -F OutOfMemoryError '$log'"
compare "case-insensitive literal" "$f -i -e outofmemoryerror '$log'" "$g -i -F outofmemoryerror '$log'"
compare "literal on ~15% of lines" "$f -e WARN '$log'" "$g -F WARN '$log'"
compare "five literals" "$f -e OutOfMemoryError -e Deadlock -e Segfault -e 'Checksum mismatch' -e 'upload 99999' '$log'" \
    "$g -F -e OutOfMemoryError -e Deadlock -e Segfault -e 'Checksum mismatch' -e 'upload 99999' '$log'"
compare "exclude mode" "$f -v -e INFO '$log'" "$g -v -F INFO '$log'"
compare "context 2/3" "$f -B 2 -A 3 -e 'timeout after' '$log'" "$g -B 2 -A 3 -F 'timeout after' '$log'"
compare "expression" "$f -r 'ERROR.*timeout after \\z ms' '$log'" "$g -E 'ERROR.*timeout after [0-9]+ ms' '$log'"
compare "case-insensitive expression" "$f -i -r 'error.*db-\\z' '$log'" "$g -i -E 'error.*db-[0-9]+' '$log'"
