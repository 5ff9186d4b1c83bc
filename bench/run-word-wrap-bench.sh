#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times Word Wrap on a generated log of lines 80 to 200 characters long (default 100 MB): open,
# Ctrl+End, Ctrl+Home, Go To and a reload, without wrap and with it, each until the window
# answers again. Runs under a virtual X display when there is none.
#
#   bench/run-word-wrap-bench.sh [BUILD_DIR] [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
megabytes=${2:-100}
bench="$build/bench/ostrel-wrap-bench"
[ -x "$bench" ] || { echo "build first: cmake --build $build --target ostrel-wrap-bench" >&2; exit 2; }
mkdir -p bench-data
log="bench-data/wrap-${megabytes}M.log"
if [ ! -s "$log" ]; then
    awk -v bytes=$((megabytes * 1024 * 1024)) 'BEGIN {
        srand(7);
        filler = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor ";
        while (length(filler) < 400)
            filler = filler filler;
        for (n = 1; total < bytes; ++n) {
            head = sprintf("2026-12-09 06:%02d:%02d.%03d [worker-%d] INFO  app.Component - request %d ",
                           int(n / 60) % 60, n % 60, n % 1000, n % 16, n);
            want = 80 + int(rand() * 121);
            line = head substr(filler, 1 + n % 37, want > length(head) ? want - length(head) : 1);
            print line;
            total += length(line) + 1;
        }
    }' > "$log"
fi
cat "$log" > /dev/null
if [ -n "${DISPLAY:-}" ]; then
    "$bench" "$log"
elif command -v xvfb-run > /dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$bench" "$log"
else
    QT_QPA_PLATFORM=offscreen "$bench" "$log"
fi
