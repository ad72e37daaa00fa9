#!/usr/bin/env bash
# Builds and runs the whole test suite under a sanitizer.
#   scripts/sanitize.sh asan   AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/),
#                              then a short libFuzzer run of each fuzz target (build-fuzz/)
#   scripts/sanitize.sh tsan   ThreadSanitizer (build-tsan/)
#   scripts/sanitize.sh fuzz   only the libFuzzer run
# FUZZ_SECONDS sets the run of each fuzz target (default 60; 0 skips it).
# Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-}"
shift || true
case "$kind" in
    asan) sanitize="address,undefined"; dir=build-asan ;;
    tsan) sanitize="thread"; dir=build-tsan ;;
    fuzz) exec scripts/sanitizers/fuzz.sh ;;
    *) echo "usage: scripts/sanitize.sh asan|tsan|fuzz [ctest arguments]" >&2; exit 64 ;;
esac
scripts/setup.sh base gui-test
sup="$PWD/scripts/sanitizers"
KORVEL_BUILD_DIR="$dir" scripts/build.sh -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE="$sanitize" \
    -DKORVEL_BUILD_BENCH=OFF
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 0700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:suppressions=$sup/asan.supp"
export LSAN_OPTIONS="suppressions=$sup/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$sup/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
status=0
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" "$@" || status=$?
if [ "$kind" = asan ]; then
    # The fuzz run goes on after failed tests: both results are worth having.
    env -u LSAN_OPTIONS -u ASAN_OPTIONS -u UBSAN_OPTIONS scripts/sanitizers/fuzz.sh || status=1
fi
exit "$status"
