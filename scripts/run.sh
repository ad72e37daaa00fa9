#!/usr/bin/env bash
# Sets up a fresh machine, builds, and starts the KORVEL window on the built-in
# simulated instrument. Arguments replace the default one (--simulate), e.g.
#   scripts/run.sh --device tcp:127.0.0.1:7720
# The window needs a desktop. Without one (a server, a container) run it in a
# virtual X server and look at it through a screenshot:
#   scripts/setup.sh gui-test
#   xvfb-run -a -s "-screen 0 1600x1000x24" scripts/run.sh &
#   sleep 5; DISPLAY=:99 import -window root view.png    # see xvfb-run's display
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh base
scripts/build.sh
[ $# -gt 0 ] || set -- --simulate
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'MSG'
run.sh: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
  On a desktop, run scripts/run.sh from a terminal of that desktop.
  On a machine without one, start it in a virtual X server:
      scripts/setup.sh gui-test
      xvfb-run -a -s "-screen 0 1600x1000x24" scripts/run.sh
  and take screenshots with ImageMagick's "import -window root" on that display.
MSG
    exit 1
fi
exec build/app/korvel "$@"
