#!/usr/bin/env bash
# Cross-builds the engine, korvel-sweep, korvel-sim and the engine tests for
# 64-bit Windows with MinGW-w64, then runs every test executable under Wine.
# Exits non-zero when the build or any test fails.
# Build folder: build-win/ (or $KORVEL_WIN_BUILD_DIR). Extra arguments go to
# each test executable (for example --gtest_filter=PipeTransfer.*).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows

root="$PWD"
dir="${KORVEL_WIN_BUILD_DIR:-build-win}"
case "$dir" in /*) ;; *) dir="$root/$dir" ;; esac
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs="$(nproc)"
seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f s", b - a }'; }

# GoogleTest from Debian's source package, built once with the same compiler.
gtest="$dir/googletest"
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
    t=$(seconds)
    cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest/install" >/dev/null
    cmake --build "$gtest/build" -j "$jobs" >/dev/null
    cmake --install "$gtest/build" >/dev/null
    echo "windows.sh: GoogleTest built in $(elapsed "$t")"
fi

# No Qt for MinGW on Debian: the window is built on Windows itself (README).
t=$(seconds)
cmake -S . -B "$dir/korvel" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DKORVEL_BUILD_GUI=OFF -DKORVEL_BUILD_BENCH=OFF \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest" \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$dir/korvel" -j "$jobs"
echo "windows.sh: cross-build done in $(elapsed "$t")"

# Wine: a prefix of our own, quiet, without the .NET and HTML engine prompts.
export WINEPREFIX="$dir/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
mapfile -t tests < <(find "$dir/korvel/tests" -name '*.exe' -type f | sort)
[ ${#tests[@]} -gt 0 ] || { echo "windows.sh: no test executables found" >&2; exit 1; }

# One Wine process per executable: starting Wine for every single test case
# (as ctest does) costs a second or more each.
t=$(seconds)
failed=()
for exe in "${tests[@]}"; do
    name="$(basename "$exe" .exe)"
    echo "windows.sh: running $name under Wine"
    if ! (cd "$(dirname "$exe")" && timeout 900 wine "$exe" --gtest_brief=1 "$@"); then
        failed+=("$name")
    fi
done
wineserver -w || true
echo "windows.sh: Wine tests done in $(elapsed "$t")"

if [ ${#failed[@]} -gt 0 ]; then
    echo "windows.sh: FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "windows.sh: all ${#tests[@]} test executables passed under Wine"
