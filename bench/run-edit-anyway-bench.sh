#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A big generated log in the desktop program: paged at the default editing limit, loaded whole
# (a limit above the file, as the old default had for 1 GB), and loaded by Edit Anyway; each in a
# process of its own, on a hot page cache.
#
#   bench/run-edit-anyway-bench.sh [BUILD_DIR] [LOG]     BUILD_DIR defaults to build, LOG to bench-data/bench-1G.log
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
log=${2:-bench-data/bench-1G.log}
bench="$build/bench/ostrel-edit-anyway-bench"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
if [ ! -s "$log" ]; then
    mkdir -p "$(dirname "$log")"
    "$generator" 1G > "$log"
fi
cat "$log" > /dev/null || true
for mode in paged loaded edit-anyway; do
    "$bench" "$log" "$mode"
done
