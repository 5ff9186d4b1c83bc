#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats the C++ sources with the project's .clang-format, or with --check says which differ
# and exits 1.
#
#   scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=
for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" > /dev/null 2>&1; then
        formatter=$candidate
        break
    fi
done
if [ -z "$formatter" ]; then
    echo "format: clang-format is not installed, skipped"
    exit 0
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    "$formatter" --dry-run --Werror "${files[@]}"
else
    "$formatter" -i "${files[@]}"
fi
