#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Following a growing generated log in the desktop program, whole and filtered: a writer appends
# at 20 MB/s for 30 s to a copy of the log; the lag at the end, the window's longest pause,
# memory and idle CPU. The copy is deleted afterwards.
#
#   bench/run-follow-bench.sh [BUILD_DIR] [SIZE] [SECONDS] [MB_PER_SECOND]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
size=${2:-1G}
seconds=${3:-30}
rate=${4:-20}
bench="$build/bench/ostrel-follow-bench"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
mkdir -p bench-data
log="bench-data/bench-$size.log"
[ -s "$log" ] || "$generator" "$size" > "$log"
copy="bench-data/follow-$size.log"
trap 'rm -f "$copy"' EXIT
for mode in whole filtered; do
    cp "$log" "$copy"
    echo "== $size, $mode"
    "$bench" "$copy" "$mode" "$seconds" "$rate"
    echo
done
