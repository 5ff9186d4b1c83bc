#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lines lost while following a log that is rotated again and again: ostrel-filter -F and tail -F
# follow the same file while a writer writes generations of numbered lines, and between
# generations empties the file and writes the next one at once (copytruncate, sometimes to the
# same size), moves it away for a new one (rotate), or leaves the last line unfinished. Every
# line is unique, so a line lost is a line missing from a follower's output.
#
#   bench/run-follow-loss.sh [BUILD_DIR] [GENERATIONS] [LINES_PER_GENERATION]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
generations=${2:-60}
lines=${3:-20}
filter="$build/src/cli/ostrel-filter"
[ -x "$filter" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
work=$(mktemp -d)
ours_pid=
tail_pid=
cleanup() {
    [ -n "$ours_pid" ] && kill "$ours_pid" 2>/dev/null || true
    [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
log="$work/app.log"
: > "$log"
"$filter" -F -v -e 'no line has this' "$log" > "$work/ours.out" 2> "$work/ours.err" &
ours_pid=$!
tail -n +1 -F "$log" > "$work/tail.out" 2> "$work/tail.err" &
tail_pid=$!
sleep 1

python3 - "$log" "$generations" "$lines" "$work/expected" <<'PY'
import os, sys, time
path, generations, lines, expected = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
written = []
def line(g, l):
    return "generation %04d line %03d %s\n" % (g, l, "x" * (l % 7))
with open(expected, "w") as out:
    for g in range(1, generations + 1):
        kind = g % 4
        if g > 1:
            if kind == 0:  # moved away, a new file takes the name
                os.rename(path, path + ".1")
                open(path, "w").close()
            else:  # copied and emptied; the next generation comes at once
                os.truncate(path, 0)
        with open(path, "a") as f:
            for l in range(1, lines + 1):
                text = line(g, l)
                if kind == 3 and l == lines:
                    text = text[:-1]  # the generation ends in an unfinished line
                f.write(text)
                f.flush()
                out.write(text if text.endswith("\n") else text + "\n")
                if l % 5 == 0:
                    time.sleep(0.01)
        time.sleep(0.05)
PY
sleep 3
kill "$ours_pid" "$tail_pid" 2>/dev/null || true
wait "$ours_pid" "$tail_pid" 2>/dev/null || true
ours_pid=
tail_pid=

count_lost() {
    # Lines of the writer missing from the output; an unfinished line glued to the next file's
    # first line (as tail prints it) still counts as seen.
    python3 - "$work/expected" "$1" <<'PY'
import sys
expected = [l.rstrip("\n") for l in open(sys.argv[1])]
text = open(sys.argv[2], errors="replace").read()
print(sum(1 for l in expected if l not in text))
PY
}
total=$(wc -l < "$work/expected")
echo "generations $generations x $lines lines ($total lines written)"
echo "ostrel-filter -F lost $(count_lost "$work/ours.out"), notes: $(grep -c . "$work/ours.err" || true)"
echo "tail -F          lost $(count_lost "$work/tail.out"), notes: $(grep -c . "$work/tail.err" || true)"
