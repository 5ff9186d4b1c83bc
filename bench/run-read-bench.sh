#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Reading a log whole through a mapping against pread into a reused buffer, hot page cache:
# RUNS pairs, each pair in alternating order, and the median of each way and of the pairs' ratios.
#
#   bench/run-read-bench.sh [LOG] [BUILD_DIR] [RUNS] [BLOCK_KIB]   defaults: bench-data/bench-1G.log, build, 21, 512
set -euo pipefail
cd "$(dirname "$0")/.."
log=${1:-bench-data/bench-1G.log}
build=${2:-build}
runs=${3:-21}
block=${4:-512}
tool="$build/bench/ostrel-read-bench"
[ -x "$tool" ] || { echo "build first: cmake --build $build --target ostrel-read-bench" >&2; exit 2; }
cat "$log" > /dev/null
"$tool" map "$log" "$block" > /dev/null
"$tool" pread "$log" "$block" > /dev/null
maps=(); preads=()
for ((i = 0; i < runs; ++i)); do
    if ((i % 2 == 0)); then
        maps+=("$("$tool" map "$log" "$block" | cut -d' ' -f2)")
        preads+=("$("$tool" pread "$log" "$block" | cut -d' ' -f2)")
    else
        preads+=("$("$tool" pread "$log" "$block" | cut -d' ' -f2)")
        maps+=("$("$tool" map "$log" "$block" | cut -d' ' -f2)")
    fi
done
python3 - "${maps[*]}" "${preads[*]}" "$log" "$block" <<'PY'
import statistics, sys
maps = [float(x) for x in sys.argv[1].split()]
preads = [float(x) for x in sys.argv[2].split()]
ratios = [m / p for m, p in zip(maps, preads)]
print(f"{sys.argv[3]}, {sys.argv[4]} KiB blocks, {len(maps)} pairs, seconds (median)")
print(f"  mapping {statistics.median(maps):.4f}   pread {statistics.median(preads):.4f}")
print(f"  mapping / pread, median of the pairs: {statistics.median(ratios):.3f}")
PY
