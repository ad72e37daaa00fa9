#!/usr/bin/env bash
# CPU used by an idle korvel with no instrument present, over 10 s, in percent
# of one core. Usage: bench/idle_cpu.sh [build dir] [seconds]
# Runs on the offscreen platform unless QT_QPA_PLATFORM is set.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
seconds="${2:-10}"
exe="$build/app/korvel"
[ -x "$exe" ] || { echo "idle_cpu.sh: $exe not built" >&2; exit 1; }
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 0700 "$XDG_RUNTIME_DIR"

"$exe" 2>/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
sleep 2  # start-up is not idle time

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
awk -v a="$after" -v b="$before" -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "korvel idle CPU over %d s: %.2f%% of one core\n", s, 100 * (a - b) / hz / s }'
