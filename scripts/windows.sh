#!/usr/bin/env bash
# Cross-builds the engine, korvel-sweep, korvel-sim and the engine tests for
# 64-bit Windows with MinGW-w64, checks that every source of the window
# compiles for Windows, then runs every test executable under Wine (the
# executables' resources included).
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
# Release: debug information makes the static executables large and slow to link.
t=$(seconds)
cmake -S . -B "$dir/korvel" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_GUI=OFF -DKORVEL_BUILD_BENCH=OFF \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest" \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$dir/korvel" -j "$jobs"
echo "windows.sh: cross-build done in $(elapsed "$t")"

# The window cannot be linked here (no Qt for MinGW on Debian), but each of its
# sources must compile for Windows: every GUI source, with its Windows-only
# code, checked by the MinGW compiler against Debian's Qt headers.
t=$(seconds)
qt=/usr/include/x86_64-linux-gnu/qt6
[ -f "$qt/QtWidgets/QDialog" ] || { echo "windows.sh: Qt headers missing: run scripts/setup.sh" >&2; exit 1; }
mapfile -t gui_sources < <(ls controls/*.cpp ui/*.cpp app/*.cpp | grep -v '_main\.cpp$')
gui_flags=(-std=c++20 -fsyntax-only -Wall -Wextra
    # What Qt's CMake package and the project define on Windows.
    -DUNICODE -D_UNICODE -DWIN32 -D_WIN64 -DMINGW_HAS_SECURE_API=1 -D_WIN32_WINNT=0x0601
    -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_NO_DEBUG -DASIO_STANDALONE
    -DKORVEL_APP_ID=\"korvel.check\"
    -Icontrols -Iui -Iapp -Iapp/options -Iengine
    -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" -isystem "$qt/QtWidgets"
    -isystem /usr/lib/x86_64-linux-gnu/qt6/mkspecs/win32-g++
    -isystem "$dir/korvel/third_party/include")
if ! printf '%s\0' "${gui_sources[@]}" |
    xargs -0 -n 1 -P "$jobs" x86_64-w64-mingw32-g++-posix "${gui_flags[@]}"; then
    echo "windows.sh: FAILED: a GUI source does not compile for Windows" >&2
    exit 1
fi
echo "windows.sh: ${#gui_sources[@]} GUI sources compile for Windows ($(elapsed "$t"))"

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

# The console tools as Windows processes: korvel-sweep finds no instrument on
# the device-interface layer (exit 2), then sweeps korvel-sim over TCP, directly
# and through korvel-bridge.
app="$dir/korvel/app"
echo "windows.sh: korvel-sweep, korvel-sim and korvel-bridge under Wine"
set +e
(cd "$app" && timeout 120 wine korvel-sweep.exe --timeout 1 >/dev/null 2>&1)
rc=$?
set -e
if [ "$rc" -ne 2 ]; then
    echo "windows.sh: korvel-sweep without an instrument exited $rc, not 2" >&2
    failed+=(korvel-sweep-no-instrument)
fi
port=$((40000 + $$ % 20000))
(cd "$app" && exec wine korvel-sim.exe --listen "tcp:127.0.0.1:$port" --seed 7) >/dev/null 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
# korvel-sweep keeps looking for the instrument while korvel-sim starts up.
report="$(cd "$app" && timeout 300 wine korvel-sweep.exe --device "tcp:127.0.0.1:$port" \
    --disable 1 --disable 2 --passes 1 --timeout 30)" || true
grep -q '^# smith.r=' <<<"$report" || failed+=(korvel-sweep-over-tcp)
# The same through korvel-bridge in front of korvel-sim.
bport=$((port + 1))
(cd "$app" && exec wine korvel-bridge.exe --device "tcp:127.0.0.1:$port" \
    --listen "tcp:127.0.0.1:$bport") >/dev/null 2>&1 &
bridge=$!
trap 'kill "$sim" "$bridge" 2>/dev/null || true' EXIT
report="$(cd "$app" && timeout 300 wine korvel-sweep.exe --device "tcp:127.0.0.1:$bport" \
    --disable 1 --disable 2 --passes 1 --timeout 30)" || true
grep -q '^# smith.r=' <<<"$report" || failed+=(korvel-sweep-through-korvel-bridge)
kill "$bridge" 2>/dev/null || true
wait "$bridge" 2>/dev/null || true
kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
trap - EXIT
wineserver -w || true
echo "windows.sh: Wine tests done in $(elapsed "$t")"

if [ ${#failed[@]} -gt 0 ]; then
    echo "windows.sh: FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "windows.sh: all ${#tests[@]} test executables and the console tools passed under Wine"
