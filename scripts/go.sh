#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and then runs Ostrel or its tests.
#
#   scripts/go.sh run     build and run the filter on the bundled sample log
#   scripts/go.sh test    build and run every test
#
# Works as root or through sudo on Debian 12; quick when everything is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

# man-db, desktop-file-utils, appstream and zsh: the tests of the manual pages, the desktop data
# and the completion; gzip, zstd, xz-utils and bzip2: the reference tools the tests of compressed
# logs check against.
packages=(cmake g++ make pkg-config libgtest-dev qt6-base-dev qt6-base-dev-tools libqscintilla2-qt6-dev zlib1g-dev libzstd-dev liblzma-dev libbz2-dev libuchardet-dev
          libgl-dev xvfb xauth man-db desktop-file-utils appstream zsh
          gzip zstd xz-utils bzip2)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${OSTREL_BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_WERROR="${OSTREL_WERROR:-OFF}" > /dev/null
cmake --build "$build" -j "$jobs"

case "${1:-run}" in
run)
    # The desktop program on the sample log. Without a display it runs on a virtual one, leaves
    # a screenshot in $build/ostrel-run.png and closes again.
    if [ -n "${DISPLAY:-}" ]; then
        "$build/src/app/ostrel" samples/sample.log
    else
        xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
            "$1/src/app/ostrel" samples/sample.log &
            program=$!
            for _ in $(seq 50); do
                command -v xwininfo > /dev/null || { sleep 3; break; }
                xwininfo -root -tree 2>/dev/null | grep -q "sample.log - Ostrel" && break
                sleep 0.2
            done
            sleep 1
            if command -v import > /dev/null; then
                import -window root "$1/ostrel-run.png" && echo "Screenshot: $1/ostrel-run.png"
            else
                echo "No screenshot: install imagemagick for it." >&2
            fi
            kill "$program"
            wait "$program" 2> /dev/null || true
        ' bash "$build"
    fi
    ;;
test)
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    ;;
*)
    echo "usage: scripts/go.sh run|test" >&2
    exit 2
    ;;
esac
