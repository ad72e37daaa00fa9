#!/usr/bin/env bash
# Performance report: builds what it needs (Release, build-h8-report/), measures
# on this machine and prints one table; with --write it also rewrites
# docs/performance.md with the figures.
#   bench/report.sh [--write]
# Runs about two minutes. korvel runs under Xvfb when it is installed (as on a
# desktop), otherwise on the offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
write=0
[ "${1:-}" = "--write" ] && write=1
dir="${KORVEL_REPORT_BUILD_DIR:-build-h8-report}"
work="$(mktemp -d)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

scripts/setup.sh base gui-test
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_BENCH=ON \
    >/dev/null
cmake --build "$dir" --target help >"$work/targets.txt"
have_target() { grep -q "^\.\.\. $1\$" "$work/targets.txt"; }
targets=(korvel korvel_probe)
have_target scan_pass_bench && targets+=(scan_pass_bench)
have_target window_bench && targets+=(window_bench)
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}" >/dev/null
korvel="$dir/app/korvel"
probe="$dir/bench/korvel_probe"

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work/xdg}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 0700 "$XDG_RUNTIME_DIR"
platform="offscreen"
if command -v Xvfb >/dev/null; then
    # A display number nobody uses.
    n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n" QT_QPA_PLATFORM=xcb
    platform="Xvfb 1600x1000x24"
else
    export QT_QPA_PLATFORM=offscreen
fi

tck="$(getconf CLK_TCK)"
# CPU seconds (user + system) used so far by a process or thread.
cpu_of() { awk -v t="$tck" '{ sub(/^.*\) /, ""); print ($12 + $13) / t }' "$1"; }
hwm_kb() { awk '/^VmHWM/ { print $2 }' "/proc/$1/status"; }
# Percent of one core used by PID over the next $2 seconds.
cpu_percent() {
    local a b
    a="$(cpu_of "/proc/$1/stat")"
    sleep "$2"
    b="$(cpu_of "/proc/$1/stat")"
    awk -v a="$a" -v b="$b" -v s="$2" 'BEGIN { printf "%.2f", 100 * (b - a) / s }'
}
wait_for_line() {  # file, text, seconds
    for _ in $(seq $(($3 * 10))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    echo "report: timed out waiting for '$2' in $1" >&2
    return 1
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# 1. Scan pass on the simulated instrument (wall over the instrument's nominal
#    pauses, worker CPU per pass).
ratio="n/a" worst="n/a" workerMs="n/a" workerPct="n/a"
if [ -x "$dir/bench/scan_pass_bench" ]; then
    "$dir/bench/scan_pass_bench" --benchmark_format=json >"$work/scan.json" 2>"$work/scan.err"
    counter() { awk -v k="\"$1\":" '$1 == k { gsub(/,/, "", $2); print $2; exit }' "$work/scan.json"; }
    ratio="$(awk -v v="$(counter wall_over_pauses)" 'BEGIN { printf "%.4f", v }')"
    worst="$(awk -v v="$(counter worst_wall_over_pauses)" 'BEGIN { printf "%.4f", v }')"
    workerMs="$(awk -v v="$(counter worker_cpu_ms_per_pass)" 'BEGIN { printf "%.1f", v }')"
    workerPct="$(awk -v v="$(counter worker_cpu_percent)" 'BEGIN { printf "%.3f", v }')"
fi

# 1b. The window benchmark (offscreen): a tick with its own paints, and a tick
#     followed by a render of the whole window including the Smith panel.
benchTick="n/a" benchWhole="n/a"
if [ -x "$dir/bench/window_bench" ]; then
    QT_QPA_PLATFORM=offscreen "$dir/bench/window_bench" >"$work/window.txt" 2>/dev/null
    median_of() { awk -v b="$1" 'index($1, b) == 1 && $1 ~ /_median$/ { print $2; exit }' "$work/window.txt"; }
    benchTick="$(median_of BM_RefreshTick)"
    benchWhole="$(median_of BM_WholeWindowPaintPerTick)"
fi

# 2. Start-up to the first painted window: five launches, the median.
starts=()
for i in 1 2 3 4 5; do
    KORVEL_PROBE_T0_NS="${EPOCHREALTIME/./}000" "$probe" --probe-ticks 1 --probe-seconds 0 \
        >"$work/start$i.out" 2>/dev/null
    starts+=("$(awk '/^first_paint_ms/ { print $2 }' "$work/start$i.out")")
done
startMs="$(printf '%s\n' "${starts[@]}" | median)"

# 3. korvel with no instrument: idle CPU over 10 s, after 3 s to settle.
"$korvel" >/dev/null 2>&1 &
kpid=$!
pids+=("$kpid")
sleep 3
idlePct="$(cpu_percent "$kpid" 10)"
idleHwm="$(hwm_kb "$kpid")"
kill "$kpid" && wait "$kpid" 2>/dev/null || true

# 4. korvel scanning on the simulated instrument: per-tick paints, then CPU
#    over 10 s and the peak resident memory.
"$probe" --simulate --probe-scan --probe-ticks 300 --probe-seconds 13 >"$work/scan.out" 2>/dev/null &
ppid=$!
pids+=("$ppid")
wait_for_line "$work/scan.out" '^ready' 60
# The window thread (its id is the process id) and the rest (worker, Qt's
# own threads) separately.
winA="$(cpu_of "/proc/$ppid/task/$ppid/stat")"
scanPct="$(cpu_percent "$ppid" 10)"
winB="$(cpu_of "/proc/$ppid/task/$ppid/stat")"
winPct="$(awk -v a="$winA" -v b="$winB" 'BEGIN { printf "%.2f", 100 * (b - a) / 10 }')"
scanHwm="$(hwm_kb "$ppid")"
wait "$ppid" || true
read -r tickP50 tickP95 tickMax < <(awk '/^tick_paint_ms/ { print $2, $3, $4 }' "$work/scan.out")
tickWidgets="$(awk '/^tick_paints/ { print $2 }' "$work/scan.out")"
peakMb="$(awk -v a="$idleHwm" -v b="$scanHwm" 'BEGIN { m = a > b ? a : b; printf "%.1f", m / 1024 }')"

cpuModel="$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
machine="$cpuModel, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $platform"
verdict() { awk -v v="$1" -v t="$3" -v op="$2" 'BEGIN {
    if (v == "n/a") { print "-"; exit }
    ok = (op == "<=") ? (v <= t) : (v < t); print ok ? "yes" : "NO" }'; }
table="$(
    printf '| Figure | Measured | Target | Met |\n|---|---|---|---|\n'
    printf '| Scan pass: wall ÷ nominal pauses (mean; worst pass) | %s; %s | ≤ 1.01 | %s |\n' \
        "$ratio" "$worst" "$(verdict "$worst" "<=" 1.01)"
    printf '| Worker CPU per scan pass | %s ms (%s %% of the pass) | | |\n' "$workerMs" "$workerPct"
    printf '| Paint of the whole window per tick (median; p95; max; %s paint events a tick) | %s; %s; %s ms | < 2 ms | %s |\n' \
        "$tickWidgets" "$tickP50" "$tickP95" "$tickMax" "$(verdict "$tickP50" "<" 2)"
    printf '| window_bench (offscreen, median of 5): tick with its own paints | %s ms | < 2 ms | %s |\n' \
        "$benchTick" "$(verdict "$benchTick" "<" 2)"
    printf '| window_bench: tick + render of the whole window, Smith panel included | %s ms | | |\n' \
        "$benchWhole"
    printf '| korvel idle CPU, no instrument | %s %% of a core | < 0.3 %% | %s |\n' \
        "$idlePct" "$(verdict "$idlePct" "<" 0.3)"
    printf '| korvel CPU while scanning (simulated instrument; window thread %s %%) | %s %% of a core | < 2 %% | %s |\n' \
        "$winPct" "$scanPct" "$(verdict "$scanPct" "<" 2)"
    printf '| Peak memory (VmHWM; idle %s MB, scanning %s MB) | %s MB | < 80 MB | %s |\n' \
        "$(awk -v k="$idleHwm" 'BEGIN { printf "%.1f", k / 1024 }')" \
        "$(awk -v k="$scanHwm" 'BEGIN { printf "%.1f", k / 1024 }')" "$peakMb" \
        "$(verdict "$peakMb" "<" 80)"
    printf '| Start-up to first painted window (median of 5: %s) | %s ms | < 500 ms | %s |\n' \
        "${starts[*]}" "$startMs" "$(verdict "$startMs" "<" 500)"
)"
echo "Machine: $machine"
echo "$table"

if [ "$write" = 1 ]; then
    bench/report_doc.sh "$machine" "$(git rev-parse --short HEAD)" "$table" >docs/performance.md
    echo "report: wrote docs/performance.md"
fi
