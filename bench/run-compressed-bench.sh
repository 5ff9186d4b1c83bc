#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter on compressed copies of one generated log against the pipelines users
# reach for: zcat | rg -F, rg -z -F and zcat | grep -F (zstd -dc for .zst), on a hot page cache.
#
#   bench/run-compressed-bench.sh [SIZE] [BUILD_DIR] [LITERAL]   defaults: 1G, build, Deadlock
#
# Every command writes to /dev/zero (GNU grep stops at the first match when its output is
# /dev/null). Each figure is the median of three runs: wall seconds and peak resident memory.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
build=${2:-build}
literal=${3:-Deadlock}
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$filter" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
for tool in gzip zstd rg /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "needs $tool" >&2; exit 2; }
done
mkdir -p bench-data
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$generator" "$size" > "$log"
[ -s "$log.gz" ] || gzip -6 -c "$log" > "$log.gz"
[ -s "$log.zst" ] || zstd -q -3 -T0 -c "$log" > "$log.zst"
cat "$log.gz" "$log.zst" > /dev/null

median_of_three() {
    local runs=()
    for _ in 1 2 3; do
        /usr/bin/time -f '%e %M' -o bench-data/time.out bash -c "$1" > /dev/zero 2> /dev/null || true
        runs+=("$(cat bench-data/time.out)")
    done
    printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p
}

export LC_ALL=C
printf 'text %s: %d bytes, %d matching lines; gzip %d bytes, zstd %d bytes\n' "$log" "$(stat -c %s "$log")" \
    "$(grep -cF "$literal" "$log")" "$(stat -c %s "$log.gz")" "$(stat -c %s "$log.zst")"
printf '%-44s %9s %9s\n' "command" "seconds" "peak MB"
row() {
    read -r seconds kilobytes <<< "$(median_of_three "$2")"
    printf '%-44s %9.2f %9.0f\n' "$1" "$seconds" "$((kilobytes / 1024))"
}
row "ostrel-filter -e L LOG.gz" "'$filter' -e '$literal' '$log.gz'"
row "zcat LOG.gz | rg -F L" "zcat '$log.gz' | rg -F '$literal'"
row "rg -z -F L LOG.gz" "rg -z -F '$literal' '$log.gz'"
row "zcat LOG.gz | grep -F L" "zcat '$log.gz' | grep -F '$literal'"
row "ostrel-filter -e L LOG.zst" "'$filter' -e '$literal' '$log.zst'"
row "zstd -dc LOG.zst | rg -F L" "zstd -dc '$log.zst' | rg -F '$literal'"
row "rg -z -F L LOG.zst" "rg -z -F '$literal' '$log.zst'"
row "ostrel-filter -e L LOG (plain, for scale)" "'$filter' -e '$literal' '$log'"
