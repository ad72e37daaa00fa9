#!/usr/bin/env bash
# Builds Qt 6 for 64-bit Windows (MinGW-w64) from Debian's own qt6-base source
# package: QtCore, QtGui and QtWidgets as DLLs with the "windows" platform
# plugin and the "windowsvista" style plugin, nothing else. Debian's Qt of the
# same version serves as the host Qt (moc, rcc, uic).
#
# The result goes to ${KORVEL_CACHE:-/var/cache/korvel}/qt6-mingw-<version>-<hash>,
# where <hash> is this script's own: changing the recipe builds anew, and a run
# that finds the folder complete does nothing. Prints that folder on standard
# output, its progress on standard error.
# Takes about 45 minutes on 2 cores, once; the build tree (about 700 MB) is
# deleted afterwards. KORVEL_QT_JOBS sets the parallel jobs (default 2).
# KORVEL_QT_UNTIL (seconds since the epoch) ends the build at that time: the
# script then exits 75 and keeps its build tree, which the next run goes on
# with (CI gives the build the time its other stages leave).
set -euo pipefail
cd "$(dirname "$0")/.."
script="$PWD/scripts/qt-mingw.sh"

version=6.4.2
hash="$(sha256sum "$script" | cut -c1-12)"
cache="${KORVEL_CACHE:-/var/cache/korvel}"
prefix="$cache/qt6-mingw-$version-$hash"
jobs="${KORVEL_QT_JOBS:-2}"

start=$(date +%s)
say() { echo "qt-mingw.sh: [$(($(date +%s) - start)) s] $*" >&2; }

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
until="${KORVEL_QT_UNTIL:-}"
left() { echo $((until - $(date +%s))); }
if [ -n "$until" ] && [ "$(left)" -le 0 ]; then
    say "no time left for the build (KORVEL_QT_UNTIL)"
    exit 75
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO mkdir -p "$cache"
[ -w "$cache" ] || $SUDO chown "$(id -u):$(id -g)" "$cache"

# One build at a time per cache; a second run waits, then finds the result.
exec 9>"$cache/.qt-mingw.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

scripts/setup.sh windows >&2
host_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
case "$host_version" in
    "$version"+*) ;;
    *) echo "qt-mingw.sh: the host Qt is $host_version, not $version" >&2; exit 1 ;;
esac

work="$cache/qt6-mingw-$version-$hash.build"
rm -rf "$prefix"
# The build tree goes with the script's end, unless a deadline stopped the build.
keep=0
trap '[ "$keep" = 1 ] || rm -rf "$work"' EXIT
# Stopped from outside (CI ends it when another stage fails): the same.
trap 'keep=1; say "stopped; the build tree stays for the next run"; exit 75' TERM INT HUP
# Fetch, patch and configure, unless an earlier run left a configured build.
prepare() {
    rm -rf "$work"
    mkdir -p "$work"

    # The source of the same Debian version as the host Qt. apt needs a deb-src
    # entry for it; a file of our own adds one (same mirror and keyring as the
    # machine's Debian entry), and nothing else of the apt setup changes.
    if ! apt-cache showsrc qt6-base 2>/dev/null | grep -qx "Version: $host_version"; then
        mirror="$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
            grep -v security | head -n 1)"
        mirror="${mirror:-http://deb.debian.org/debian}"
        say "adding the deb-src entry /etc/apt/sources.list.d/korvel-deb-src.sources ($mirror)"
        $SUDO tee /etc/apt/sources.list.d/korvel-deb-src.sources >/dev/null <<EOF
# Added by KORVEL's scripts/qt-mingw.sh: Debian's sources, to build Qt for Windows.
Types: deb-src
URIs: $mirror
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
        $SUDO apt-get update -qq >&2
    fi

    say "downloading qt6-base $host_version source"
    (cd "$work" && apt-get source -qq --download-only "qt6-base=$host_version" >/dev/null)
    say "unpacking with Debian's patches"
    (cd "$work" && dpkg-source -x --no-check qt6-base_*.dsc src >/dev/null)
    src="$work/src"

    # The one change to the source: with Direct2D off (its platform plugin would
    # build all of the Windows platform plugin a second time), Qt 6.4's Windows
    # platform plugin still refers to the DirectWrite font database that only the
    # Direct2D build links. Both of its uses then need Direct2D as well.
    file="$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
    [ "$(grep -c '^#if QT_CONFIG(directwrite3)$' "$file")" -eq 2 ] ||
        { echo "qt-mingw.sh: $file is not as expected" >&2; exit 1; }
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$file"

    # The cross toolchain: Debian's MinGW-w64 with posix threads (std::thread).
    cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP x86_64-w64-mingw32-strip CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

    say "configuring (about a minute)"
    off=(network sql dbus printsupport concurrent xml testlib opengl vulkan androiddeployqt
        windeployqt qmake tabletevent freetype jpeg gif zstd icu glib direct2d
        system_zlib system_png system_pcre2 system_harfbuzz system_doubleconversion)
    features=()
    for f in "${off[@]}"; do features+=("-DFEATURE_$f=OFF"); done
    cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF -DINPUT_opengl=no \
        "${features[@]}" >"$work/configure.log" 2>&1 ||
        { tail -n 40 "$work/configure.log" >&2; exit 1; }
    touch "$work/configured"
}
if [ -f "$work/configured" ]; then
    say "going on with the build that an earlier run left unfinished"
else
    prepare
fi

# Ninja's own step lines go to a log; a line every tenth of the way here.
say "building with $jobs jobs (about 45 minutes on 2 cores)"
limit=()
if [ -n "$until" ]; then
    [ "$(left)" -gt 0 ] || { keep=1; say "no time left for the build (KORVEL_QT_UNTIL)"; exit 75; }
    limit=(timeout --foreground -s INT "$(left)")
fi
status=0
"${limit[@]}" ninja -C "$work/build" -j "$jobs" 2>&1 | tee -a "$work/build.log" |
    awk -v start="$start" '
        match($0, /^\[[0-9]+\/[0-9]+\]/) {
            split(substr($0, 2, RLENGTH - 2), n, "/")
            tenth = int(10 * n[1] / n[2])
            if (tenth > shown) {
                shown = tenth
                printf "qt-mingw.sh: [%d s] built %d of %d steps\n", systime() - start, n[1], n[2] > "/dev/stderr"
                fflush("/dev/stderr")
            }
        }' || status=$?
if [ "$status" = 124 ]; then
    # Ninja, interrupted, leaves no half-written file; its log lets the next run go on.
    keep=1
    trap - TERM INT HUP
    say "stopped at KORVEL_QT_UNTIL; $(ninja -C "$work/build" -n | grep -c '^\[') steps left for the next run"
    exit 75
elif [ "$status" != 0 ]; then
    grep -B 2 -A 20 '^FAILED' "$work/build.log" | head -n 60 >&2 || tail -n 40 "$work/build.log" >&2
    exit 1
fi

say "installing"
cmake --install "$work/build" --strip >/dev/null
touch "$prefix/.complete"
say "done: $(du -sh "$prefix" | cut -f1) in $prefix; deleting the build tree"
echo "$prefix"
