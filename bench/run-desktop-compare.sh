#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the desktop benchmark programs of two builds side by side on one generated log, hot
# page cache: open, view, paged and filter, each run A B A B ... by farm-bench, medians of
# paired runs. For checking that a change to the desktop code keeps its speed.
#
#   bench/run-desktop-compare.sh BUILD_A BUILD_B [SIZE] [RUNS]     defaults: 1G, 3
set -euo pipefail
cd "$(dirname "$0")/.."
a=${1:?build A}
b=${2:?build B}
size=${3:-1G}
runs=${4:-3}
command -v farm-bench > /dev/null || { echo "needs farm-bench" >&2; exit 2; }
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$a/bench/ostrel-loggen" "$size" > "$log"
cat "$log" > /dev/null
export QT_QPA_PLATFORM=offscreen
for program in ostrel-gui-bench ostrel-view-bench ostrel-paged-bench "ostrel-filter-gui-bench"; do
    args=("$log")
    [ "$program" = ostrel-view-bench ] && args+=(OutOfMemoryError)
    [ "$program" = ostrel-filter-gui-bench ] && args+=(OutOfMemoryError WARN)
    echo "== $program (A: $a, B: $b)"
    farm-bench -n "$runs" --timeout 900 --vs "$b/bench/$program ${args[*]}" -- "$a/bench/$program" "${args[@]}"
done
