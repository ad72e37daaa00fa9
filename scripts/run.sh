#!/usr/bin/env bash
# Sets up a fresh machine, builds, and starts KORVEL on the built-in simulated
# instrument. Arguments replace the default ones.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh base
scripts/build.sh
[ $# -gt 0 ] || set -- --device sim
exec build/app/korvel-sweep "$@"
