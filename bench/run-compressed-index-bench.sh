#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The index of a gzip'd log against zcat > /dev/null, and 64 KiB reads at random offsets of its
# text through the index, hot page cache. The log is compressed into /tmp with pigz -1 (gzip -1
# without it) and removed at the end.
#
#   bench/run-compressed-index-bench.sh [LOG] [BUILD_DIR] [RUNS] [READS]
#       defaults: bench-data/bench-1G.log, build, 3, 200
set -euo pipefail
cd "$(dirname "$0")/.."
log=${1:-bench-data/bench-1G.log}
build=${2:-build}
runs=${3:-3}
reads=${4:-200}
tool="$build/bench/ostrel-compressed-index-bench"
[ -x "$tool" ] || { echo "build first: cmake --build $build --target ostrel-compressed-index-bench" >&2; exit 2; }
[ -s "$log" ] || { echo "no $log: $build/bench/ostrel-loggen 1G > $log" >&2; exit 2; }
packed=$(mktemp /tmp/ostrel-compressed-index-XXXXXX.gz)
trap 'rm -f "$packed"' EXIT
if command -v pigz > /dev/null; then pigz -1 -c "$log" > "$packed"; else gzip -1 -c "$log" > "$packed"; fi
cat "$packed" > /dev/null
printf '%s: %d bytes, gzip -1: %d bytes\n' "$log" "$(stat -c %s "$log")" "$(stat -c %s "$packed")"
times=()
for ((i = 0; i < runs; ++i)); do
    start=$(date +%s.%N)
    zcat "$packed" > /dev/null
    times+=("$(echo "$(date +%s.%N) - $start" | bc)")
done
printf 'zcat > /dev/null (median of %d)    %8.3f s\n' "$runs" \
    "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")"
"$tool" "$packed" "$runs" "$reads"
