#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for
# FUZZ_SECONDS (default 60; 0 skips the run). The kept inputs in fuzz/corpus/
# seed each run; what a run discovers grows build-fuzz/corpus/. An input that
# breaks a target is left in build-fuzz/artifacts/ and the script fails.
#   scripts/sanitizers/fuzz.sh [target ...]   (default: all of them)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${FUZZ_SECONDS:-60}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(text_rules device_link frame_decoder bridge_frames bmp_writer
                                       ms_os_descriptors recording_reader touchstone)
if [ "$seconds" = 0 ]; then
    echo "fuzz: skipped (FUZZ_SECONDS=0)"
    exit 0
fi

scripts/setup.sh base fuzz
dir=build-fuzz
cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVEL_BUILD_FUZZ=ON -DKORVEL_BUILD_GUI=OFF -DKORVEL_BUILD_TESTS=OFF \
    -DKORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$dir/artifacts"
failed=()
for t in "${targets[@]}"; do
    mkdir -p "$dir/corpus/$t"
    extra=()
    # Long streams reach the reader's buffer compaction.
    [ "$t" = frame_decoder ] && extra+=(-max_len=20000)
    # The file readers bound their memory by the input's size: an input that
    # makes them take much more is a failure.
    case "$t" in touchstone | recording_reader) extra+=(-rss_limit_mb=512 -malloc_limit_mb=256) ;; esac
    echo "fuzz: $t for ${seconds} s"
    if ! "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/$t-" "${extra[@]}" \
        "$dir/corpus/$t" "fuzz/corpus/$t" >"$dir/fuzz_$t.log" 2>&1; then
        failed+=("$t")
        tail -n 40 "$dir/fuzz_$t.log"
    else
        grep -E '^stat::number_of_executed_units|^Done' "$dir/fuzz_$t.log" | tail -n 1
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: FAILED: ${failed[*]} (inputs in $dir/artifacts/; keep each as" \
        "fuzz/corpus/<target>/crash-<name> so the test suite replays it)" >&2
    exit 1
fi
echo "fuzz: all targets clean"
