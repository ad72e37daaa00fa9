#!/usr/bin/env bash
# Cross-builds KORVEL for 64-bit Windows with MinGW-w64: the window (KORVEL.exe,
# against Qt built from Debian's source by scripts/qt-mingw.sh, cached after
# the first time), the console tools and the engine tests; runs every test
# executable and the console tools under Wine, makes the installer and the zip
# (cpack), then drives the real KORVEL.exe and the installer under Wine in a
# virtual X server (tests/wine, from the Linux build in build/ or
# $KORVEL_BUILD_DIR, whose targets it builds as needed).
# While Qt for Windows is not built (scripts/qt-mingw.sh stopped at its
# KORVEL_QT_UNTIL, exit 75) only the console tools and the engine tests are
# built and run, and it says so.
# Exits non-zero when the build or any test fails.
# Build folder: build-win/ (or $KORVEL_WIN_BUILD_DIR). Extra arguments go to
# each test executable (for example --gtest_filter=PipeTransfer.*).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh base gui-test windows
qt_status=0
qt="$(scripts/qt-mingw.sh)" || qt_status=$?
gui=ON
case "$qt_status" in
    0) ;;
    75) gui=OFF
        echo "windows.sh: Qt for Windows is not built yet (the next run goes on with it):" \
            "KORVEL.exe, the installer and their checks under Wine are left out this time" >&2 ;;
    *) exit "$qt_status" ;;
esac

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

# Release: debug information makes the static executables large and slow to link.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
t=$(seconds)
cmake -S . -B "$dir/korvel" -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_GUI="$gui" -DKORVEL_BUILD_TESTS=ON \
    -DKORVEL_BUILD_BENCH=OFF -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest" \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$dir/korvel" -j "$jobs"
echo "windows.sh: cross-build done in $(elapsed "$t")"

# Wine: a prefix of our own, quiet, without the .NET and HTML engine prompts.
# No menu entries on this machine for the installer's shortcuts either.
export WINEPREFIX="$dir/wine-prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# Test executables that use Qt find its DLLs and the runtime's here.
WINEPATH="$([ "$gui" = OFF ] || winepath -w "$qt/bin");$(winepath -w "$(dirname "$(x86_64-w64-mingw32-g++-posix \
    -print-file-name=libstdc++-6.dll)")");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
# The prefix's fonts: Qt cannot resolve Wine's UI font ("MS Shell Dlg"), so the
# message, menu and status fonts become Liberation Sans (12 px), and so does
# Arial, which Wine lacks (as on Linux). A LOGFONTW each.
logfont="$({ printf '\xf4\xff\xff\xff'; head -c 12 /dev/zero; printf '\x90\x01'
    head -c 10 /dev/zero; printf 'Liberation Sans' | iconv -t UTF-16LE; head -c 34 /dev/zero; } |
    od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\r\n'
    for name in MessageFont MenuFont StatusFont; do printf '"%s"=hex:%s\r\n' "$name" "$logfont"; done
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"Arial"="Liberation Sans"\r\n'
} >"$dir/fonts.reg"
wine reg import "$dir/fonts.reg" >/dev/null
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

if [ "$gui" = ON ]; then
    # The installer and the zip of the same folder.
    t=$(seconds)
    (cd "$dir/korvel" && cpack -G "NSIS;ZIP" >/dev/null) || failed+=(cpack)
    echo "windows.sh: installer and zip made in $(elapsed "$t")"

    # The real KORVEL.exe and the installer under Wine in a virtual X server,
    # driven from the Linux side.
    t=$(seconds)
    linux="${KORVEL_BUILD_DIR:-build}"
    # Configured again: a folder from before tests/wine existed has no rule for it.
    cmake -S . -B "$linux" "${launcher[@]}" >/dev/null
    cmake --build "$linux" -j "$jobs" --target wine_tests korvel-sim
    KORVEL_WINDOWS_BUILD="$dir/korvel" ctest --test-dir "$linux" -R '^UnderWine\.' \
        --output-on-failure --timeout 600 || failed+=(tests/wine)
    wineserver -w || true
    echo "windows.sh: KORVEL.exe and the installer under Wine in $(elapsed "$t")"
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "windows.sh: FAILED: ${failed[*]}" >&2
    exit 1
fi
if [ "$gui" = ON ]; then
    echo "windows.sh: all ${#tests[@]} test executables, the console tools, KORVEL.exe and the" \
        "installer passed under Wine"
else
    echo "windows.sh: all ${#tests[@]} test executables and the console tools passed under Wine" \
        "(KORVEL.exe left out: Qt for Windows is not built yet)"
fi
