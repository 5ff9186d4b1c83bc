#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times ostrel-filter reading standard input against LC_ALL=C grep and rg reading the same
# pipe, and against ostrel-filter reading the file itself, hot page cache.
#
#   bench/run-stdin-bench.sh LOG [BUILD_DIR] [RUNS]
#       defaults: build, 5
#
# Every command is one `sh -c 'cat LOG | ...'` so that each side pays for the same pipe; the
# output goes to /dev/null. Pairs run in turn by farm-bench (A B A B ...); quote the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(realpath "${1:?usage: bench/run-stdin-bench.sh LOG [BUILD_DIR] [RUNS]}")
build=${2:-build}
runs=${3:-5}
filter="$PWD/$build/src/cli/ostrel-filter"
[ -x "$filter" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
command -v farm-bench > /dev/null || { echo "needs farm-bench" >&2; exit 2; }
export LC_ALL=C
cat "$log" > /dev/null
literal="logged in"
pair() {
    echo "## $1"
    farm-bench -n "$runs" --timeout 1800 --vs "sh -c '$3'" -- sh -c "$2"
    echo
}
# The commands hold no single quotes: B goes to farm-bench inside them.
pair "literal from a pipe: ostrel-filter - (A) against grep -F (B)" \
    "cat $log | $filter -e \"$literal\" - > /dev/null" "cat $log | grep -F \"$literal\" > /dev/null"
pair "literal from a pipe: ostrel-filter - (A) against rg -F (B)" \
    "cat $log | $filter -e \"$literal\" - > /dev/null" "cat $log | rg -F \"$literal\" > /dev/null"
pair "literal, numbered: ostrel-filter -n - (A) against grep -n -F (B)" \
    "cat $log | $filter -n -e \"$literal\" - > /dev/null" "cat $log | grep -n -F \"$literal\" > /dev/null"
pair "the pipe against the file: ostrel-filter - (A) against ostrel-filter FILE (B)" \
    "cat $log | $filter -e \"$literal\" - > /dev/null" "$filter -e \"$literal\" $log > /dev/null"
