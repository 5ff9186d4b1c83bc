#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Reading line times and Go To a time through a file's line index.
# Usage: bench/run-time-bench.sh [build folder] [lines]
set -euo pipefail
build=${1:-build}
lines=${2:-2000000}
"$build/bench/ostrel-time-bench" "$lines" "${TMPDIR:-/tmp}"
