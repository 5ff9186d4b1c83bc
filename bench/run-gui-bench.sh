#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times opening generated logs in the desktop program, on a hot page cache.
#
#   bench/run-gui-bench.sh [BUILD_DIR] [SIZE]...     BUILD_DIR defaults to build, SIZES to 100M 1G
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100M 1G)
bench="$build/bench/ostrel-gui-bench"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
mkdir -p bench-data
for size in "${sizes[@]}"; do
    log="bench-data/bench-$size.log"
    [ -s "$log" ] || "$generator" "$size" > "$log"
    cat "$log" > /dev/null
    "$bench" "$log"
    echo
done
