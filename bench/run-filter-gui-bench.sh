#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Filters a generated log through the desktop program's windows and with ostrel-filter, with a
# rare literal and a literal on about 15% of the lines, on a hot page cache.
#
#   bench/run-filter-gui-bench.sh [SIZE] [BUILD_DIR]     SIZE defaults to 1G, BUILD_DIR to build
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
build=${2:-build}
bench="$build/bench/ostrel-filter-gui-bench"
filter="$build/src/cli/ostrel-filter"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$filter" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
mkdir -p bench-data
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$generator" "$size" > "$log"
cat "$log" > /dev/null

echo "desktop program, with the overview strip and the timeline:"
"$bench" "$log" --overview on OutOfMemoryError WARN
echo
echo "desktop program, without them:"
"$bench" "$log" --overview off OutOfMemoryError WARN
echo
echo "ostrel-filter -n, best of three:"
for literal in OutOfMemoryError WARN; do
    best=""
    for _ in 1 2 3; do
        start=$(date +%s.%N)
        "$filter" -n -e "$literal" "$log" > /dev/zero || true
        end=$(date +%s.%N)
        elapsed=$(echo "($end - $start) * 1000" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$elapsed < $best" | bc -l)" = 1 ]; then best=$elapsed; fi
    done
    printf '%-24s %9.0f ms\n' "$literal" "$best"
done
