#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package korvel_<version>_<arch>.deb in build/ (or
# $KORVEL_BUILD_DIR) and validates it: desktop entry, AppStream data, lintian.
# With --install (as root, as on CI) it then installs the package, runs the
# programs from /usr/bin, finds the manual page, purges the package and checks
# that nothing of it is left.
set -euo pipefail
cd "$(dirname "$0")/.."
install_test=0
case "${1:-}" in
    "") ;;
    --install) install_test=1 ;;
    *) echo "usage: scripts/package.sh [--install]" >&2; exit 64 ;;
esac
scripts/setup.sh base package

dir="${KORVEL_BUILD_DIR:-build}"
# Configured again so that help2man, just installed, is found.
cmake -S . -B "$dir" >/dev/null
cmake --build "$dir" -j "$(nproc)"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
deb="$(cd "$dir" && pwd)/korvel_${version}_${arch}.deb"
rm -f "$deb"
(cd "$dir" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || { echo "package.sh: cpack made no $deb" >&2; exit 1; }
echo "package.sh: $deb ($(stat -c %s "$deb") bytes)"

desktop-file-validate "$dir"/packaging/*.desktop
appstreamcli validate --no-net --pedantic "$dir"/packaging/*.metainfo.xml
# Warnings are shown; errors fail.
lintian --fail-on error --info "$deb"
echo "package.sh: the package and its metadata validate"

[ "$install_test" = 1 ] || exit 0
failed=()
export DEBIAN_FRONTEND=noninteractive
# Removing a package that is not installed fails nobody.
trap 'apt-get purge -y -qq korvel >/dev/null 2>&1 || true' EXIT
apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
/usr/bin/korvel-sweep --device sim --passes 1 --format json >"$dir/package-sweep.json" ||
    failed+=("korvel-sweep --device sim")
grep -q '"smith"' "$dir/package-sweep.json" || failed+=("korvel-sweep output")
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/korvel --help | grep -q -- '--device' ||
    failed+=("korvel --help")
/usr/bin/korvel-sim --help >/dev/null || failed+=("korvel-sim --help")
/usr/bin/korvel-bridge --help >/dev/null || failed+=("korvel-bridge --help")
# The menu entry starts the command it names.
exec_line="$(sed -n 's/^Exec=//p' /usr/share/applications/*.KORVEL.desktop)"
[ "$(command -v "$exec_line")" = /usr/bin/korvel ] || failed+=("desktop entry Exec")
man -w korvel-sweep >/dev/null || failed+=("man -w korvel-sweep")
mapfile -t files < <(dpkg-query -L korvel | while read -r f; do [ -f "$f" ] && echo "$f"; done)
apt-get purge -y -qq korvel >/dev/null
trap - EXIT
for f in "${files[@]}"; do
    [ ! -e "$f" ] || failed+=("left behind: $f")
done
dpkg-query -W -f='${Status}' korvel 2>/dev/null | grep -q 'ok installed' &&
    failed+=("korvel still installed")
if [ ${#failed[@]} -gt 0 ]; then
    printf 'package.sh: FAILED: %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "package.sh: ${#files[@]} files installed, the programs ran, the package purged cleanly"
