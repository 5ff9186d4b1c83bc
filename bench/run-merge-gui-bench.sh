#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Logs merged by time in the desktop program: three generated logs of the same shape (different
# seeds) opened with File > Open Merged, hot page cache; first screen, the merge, jumps and the
# peak resident memory.
#
#   bench/run-merge-gui-bench.sh [SIZE] [BUILD_DIR] [FOLDER]      defaults: 300M, build, /tmp
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-300M}
build=${2:-build}
folder=${3:-/tmp}
bench="$build/bench/ostrel-merge-gui-bench"
generator="$build/bench/ostrel-loggen"
[ -x "$bench" ] && [ -x "$generator" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d "$folder/ostrel-merge-gui-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
logs=()
for seed in 1 2 3; do
    "$generator" "$size" "$seed" > "$work/log$seed.log"
    logs+=("$work/log$seed.log")
done
cat "${logs[@]}" > /dev/null
"$bench" "${logs[@]}"
