#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh base gui-test
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 0700 "$XDG_RUNTIME_DIR"
ctest --test-dir "${KORVEL_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 600 "$@"
