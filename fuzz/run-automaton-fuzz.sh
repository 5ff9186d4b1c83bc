#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the automaton fuzzer (automaton, linear decider, bounded matcher and required literals
# against the plain backtracker) with libFuzzer and the address and undefined-behaviour
# sanitizers, then runs it for the given number of seconds (default 60) from the seed corpus in
# corpus/automaton. New inputs stay in a temporary
# folder; a disagreement or crash leaves its input in fuzz-corpus-tmp/ at the root.
# Exits 0 without doing anything when clang is not installed.
set -eu

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)

compiler=
for candidate in clang++-14 clang++; do
    if command -v "$candidate" >/dev/null 2>&1; then
        compiler=$candidate
        break
    fi
done
if [ -z "$compiler" ]; then
    echo "run-automaton-fuzz: clang++ is not installed, skipped"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

cd "$root"
"$compiler" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I src fuzz/AutomatonFuzzer.cpp src/regex/*.cpp -o "$work/automaton-fuzzer"

mkdir -p "$work/corpus" fuzz-corpus-tmp
"$work/automaton-fuzzer" -max_total_time="$seconds" -max_len=1200 -timeout=30 -print_final_stats=1 \
    -artifact_prefix=fuzz-corpus-tmp/ "$work/corpus" fuzz/corpus/automaton
