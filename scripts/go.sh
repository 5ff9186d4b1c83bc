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

packages=(cmake g++ make pkg-config libgtest-dev qt6-base-dev qt6-base-dev-tools libqscintilla2-qt6-dev
          libgl-dev xvfb xauth)
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
    "$build/src/cli/ostrel-filter" -n -f samples/sample.flt samples/sample.log
    ;;
test)
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    ;;
*)
    echo "usage: scripts/go.sh run|test" >&2
    exit 2
    ;;
esac
