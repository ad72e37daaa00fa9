#!/usr/bin/env bash
# Configures and builds KORVEL into build/ (or $KORVEL_BUILD_DIR).
# Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${KORVEL_BUILD_DIR:-build}"
cmake -S . -B "$dir" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
