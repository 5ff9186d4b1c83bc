#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The paged view of big generated logs: first screen, index speed, memory and jumps, on a hot
# page cache where the file fits in memory. The largest size (30G by default, bigger than this
# machine's memory) is generated for the run and deleted afterwards; filtering it through the
# window is timed beside ostrel-filter with a rare literal.
#
#   bench/run-paged-bench.sh [BUILD_DIR] [SIZE]...     BUILD_DIR defaults to build, SIZES to 1G 10G 30G
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1G 10G 30G)
bench="$build/bench/ostrel-paged-bench"
filterBench="$build/bench/ostrel-filter-gui-bench"
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
mkdir -p bench-data
last=${sizes[${#sizes[@]}-1]}
for size in "${sizes[@]}"; do
    log="bench-data/bench-$size.log"
    generated=0
    if [ ! -s "$log" ]; then
        "$generator" "$size" > "$log"
        generated=1
    fi
    cat "$log" > /dev/null || true
    echo "== $size"
    "$bench" "$log"
    if [ "$size" = "$last" ]; then
        echo "-- filtering through the window, and ostrel-filter -n, a rare literal:"
        "$filterBench" "$log" OutOfMemoryError
        start=$(date +%s.%N)
        "$filter" -n -e OutOfMemoryError "$log" > /dev/zero || true
        end=$(date +%s.%N)
        printf 'ostrel-filter -n          %9.0f ms\n' "$(echo "($end - $start) * 1000" | bc -l)"
        [ "$generated" = 1 ] && rm -f "$log"
    fi
    echo
done
