#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What many open documents cost while the program sits idle: N small logs named on the command
# line, then, once the window is up and the last tab has loaded, the process's resident memory,
# threads, descriptors, inotify instances and CPU time over an idle stretch.
#
#   bench/run-many-tabs-bench.sh [COUNT] [BUILD_DIR] [IDLE_SECONDS]
#
# Runs the desktop program on a virtual X server of its own, with a settings folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
build=${2:-build}
idle=${3:-10}
program=$(realpath "$build/src/app/ostrel")
[ -x "$program" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
command -v xvfb-run > /dev/null || { echo "needs xvfb-run" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/logs" "$work/config"
for i in $(seq 1 "$count"); do
    printf '2026-12-09 10:00:%02d INFO service-%d started\n2026-12-09 10:00:%02d WARN nothing else\n' \
        $((i % 60)) "$i" $((i % 60)) > "$work/logs/log-$i.log"
done
# Past 50 files the program asks first; the settings say yes for this run.
mkdir -p "$work/config/Quorrel"
printf '[Settings]\nRestoreSession=0\nAskBeforeOpeningMany=0\n' > "$work/config/Quorrel/Ostrel.conf"

XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    program=$1; count=$2; idle=$3; work=$4
    "$program" --new-instance "$work"/logs/*.log > /dev/null 2>&1 &
    pid=$!
    start=$(date +%s.%N)
    # Up when the window shows the last file (the active tab) in its title.
    for _ in $(seq 1200); do
        xwininfo -root -tree 2> /dev/null | grep -q "log-.*\.log - Ostrel" && break
        sleep 0.1
    done
    up=$(date +%s.%N)
    sleep 2 # let the first screens settle before the idle stretch
    ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
    before=$(ticks)
    sleep "$idle"
    after=$(ticks)
    hz=$(getconf CLK_TCK)
    rss=$(awk "/^VmRSS/ {print \$2}" /proc/$pid/status)
    threads=$(awk "/^Threads/ {print \$2}" /proc/$pid/status)
    fds=$(ls /proc/$pid/fd | wc -l)
    inotify=$(ls -l /proc/$pid/fd 2> /dev/null | grep -c "anon_inode:inotify" || true)
    printf "documents            %d\n" "$count"
    printf "window up after      %.2f s\n" "$(echo "$up - $start" | bc -l)"
    printf "resident memory      %d MB\n" $((rss / 1024))
    printf "threads              %d\n" "$threads"
    printf "descriptors          %d\n" "$fds"
    printf "inotify instances    %d\n" "$inotify"
    printf "idle CPU             %.2f %% of a core over %d s\n" \
        "$(echo "($after - $before) * 100 / $hz / $idle" | bc -l)" "$idle"
    kill "$pid"
    wait "$pid" 2> /dev/null || true
' bash "$program" "$count" "$idle" "$work"
