#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Page Down through the paged view of a big generated log, with and without ten highlight rules.
#
#   bench/run-highlight-bench.sh [BUILD_DIR] [LOG]     BUILD_DIR defaults to build, LOG to bench-data/bench-1G.log
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
log=${2:-bench-data/bench-1G.log}
bench="$build/bench/ostrel-highlight-bench"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
if [ ! -s "$log" ]; then
    mkdir -p "$(dirname "$log")"
    "$generator" 1G > "$log"
fi
cat "$log" > /dev/null || true
"$bench" "$log"
