#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package in a build folder of its own (Release, no tests, no benchmarks), and
# checks it: the files it holds, the libraries it depends on, the programs as installed from it
# into a temporary root, its desktop data through their validators, and the desktop entry's
# command opening a log in a window on a virtual X server.
#
#   scripts/check-package.sh [BUILD_DIR]      (default build-package)
#
# Installs the Debian packages it needs, as root or through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
jobs=$(nproc)

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libqscintilla2-qt6-dev zlib1g-dev libzstd-dev liblzma-dev libbz2-dev libuchardet-dev libgl-dev libx11-dev
          dpkg-dev file desktop-file-utils appstream man-db xvfb xauth x11-utils)
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

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
started=$SECONDS

# A fresh clone elsewhere finds the compiler cache of earlier builds: paths relative to here.
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=$PWD
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREL_BUILD_TESTS=OFF -DOSTREL_BUILD_BENCH=OFF \
    -DOSTREL_WERROR="${OSTREL_WERROR:-OFF}" "${launcher[@]}" > /dev/null
cmake --build "$build" -j "$jobs"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB > /dev/null)
debs=("$build"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made no single package: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "Package: $deb ($(du -h "$deb" | cut -f1)), built in $((SECONDS - started)) s"

# The files it holds.
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
for file in /usr/bin/ostrel /usr/bin/ostrel-filter \
    /usr/share/man/man1/ostrel.1.gz /usr/share/man/man1/ostrel-filter.1.gz \
    /usr/share/bash-completion/completions/ostrel-filter /usr/share/zsh/vendor-completions/_ostrel-filter \
    /usr/share/metainfo/invalid.quorrel.ostrel.metainfo.xml /usr/share/applications/ostrel.desktop \
    /usr/share/mime/packages/ostrel-log.xml /usr/share/icons/hicolor/scalable/apps/ostrel.svg \
    /usr/share/icons/hicolor/48x48/apps/ostrel.png /usr/share/icons/hicolor/128x128/apps/ostrel.png \
    /usr/share/icons/hicolor/256x256/apps/ostrel.png /usr/share/ostrel/help/RegExpSyntax.html; do
    grep -qxF "$file" <<< "$contents" || fail "the package lacks $file"
done

# What it depends on: the libraries the programs link, found by dpkg-shlibdeps.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6network6 libqscintilla2-qt6 \
    zlib1g libzstd1 liblzma5 libbz2-1.0 libuchardet0; do
    grep -q "\b$library" <<< "$depends" || fail "Depends names no $library"
done
[ "$(dpkg-deb -f "$deb" Version)" == "$(sed -n 's/^project(Ostrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ] ||
    fail "the package's version is not the project's"

# Installed into a root of its own, never into the system.
root=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"' EXIT
dpkg -x "$deb" "$root"
version=$("$root/usr/bin/ostrel" --version) || fail "the installed ostrel --version failed"
[ "$version" == "Ostrel 1.1.0 Build 156" ] || fail "the installed ostrel says '$version'"
"$root/usr/bin/ostrel-filter" --help | grep -q -- '--literal' || fail "the installed ostrel-filter --help says no --literal"
printf 'one\nERROR two\n' > "$home/app.log"
[ "$("$root/usr/bin/ostrel-filter" -n -e ERROR "$home/app.log")" == "2:ERROR two" ] ||
    fail "the installed ostrel-filter does not filter"
for page in ostrel ostrel-filter; do
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "$page(1) renders with warnings: $warnings"
done
said=$(desktop-file-validate "$root/usr/share/applications/ostrel.desktop" 2>&1) || fail "desktop-file-validate failed"
[ -z "$said" ] || fail "desktop-file-validate: $said"
appstreamcli validate --no-net "$root/usr/share/metainfo/invalid.quorrel.ostrel.metainfo.xml" > /dev/null ||
    fail "appstreamcli rejects the installed metainfo"

# The desktop entry's command opens a log: its Exec line, %f replaced by the file, run from the
# installed root on a virtual X server, until the window's title names the file.
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/ostrel.desktop")
command=${exec_line//%f/\"\$LOG\"}
window=$(
    cd "$home" && HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home XDG_DATA_DIRS=$root/usr/share \
        PATH=$root/usr/bin:$PATH LOG=$home/app.log \
        xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
            eval "$1" > "$HOME/ostrel.out" 2>&1 &
            program=$!
            title=""
            for _ in $(seq 300); do
                title=$(xwininfo -root -tree 2> /dev/null | grep -o "\"app.log - Ostrel\"" | head -n 1)
                [ -n "$title" ] && break
                kill -0 "$program" 2> /dev/null || break
                sleep 0.1
            done
            kill "$program" 2> /dev/null
            wait "$program" 2> /dev/null
            echo "$title"
        ' bash "$command"
) || true
if [ "$window" != '"app.log - Ostrel"' ]; then
    fail "the desktop entry's '$exec_line' showed no window titled 'app.log - Ostrel'"
    cat "$home/ostrel.out" 2> /dev/null
fi

echo "Package check took $((SECONDS - started)) s"
[ "$failures" -eq 0 ] || { echo "the package has $failures faults"; exit 1; }
echo "the package is complete"
