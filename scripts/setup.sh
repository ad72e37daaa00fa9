#!/usr/bin/env bash
# Installs what a brand-new Debian 12 machine needs, and only what is missing.
# Usage: scripts/setup.sh [base] [gui-test] [windows] [fuzz] [package] [mutate]
#        (default: base gui-test)
set -euo pipefail

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(base gui-test)

pkgs=()
for g in "${groups[@]}"; do
    case "$g" in
        base) pkgs+=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                     qt6-base-dev fonts-liberation2 fontconfig
                     fonts-lexi-gulim  # the full-width "！" of the link-error message
                     libasio-dev libcli11-dev nlohmann-json3-dev
                     libusb-1.0-0-dev umockdev libumockdev-dev) ;;
        gui-test) pkgs+=(xvfb xauth x11-utils imagemagick xdotool fonts-lexi-gulim) ;;
        # Qt for Windows is built from Debian's source (scripts/qt-mingw.sh) with
        # Debian's Qt as the host Qt; nsis makes the installer.
        windows) pkgs+=(cmake make ninja-build dpkg-dev g++-mingw-w64-x86-64-posix googletest wine
                        libasio-dev libcli11-dev nlohmann-json3-dev
                        python3 qt6-base-dev nsis) ;;
        fuzz) pkgs+=(clang libclang-rt-14-dev) ;;
        # The Debian package: manual pages, shlibdeps and the validators.
        package) pkgs+=(help2man dpkg-dev file lintian desktop-file-utils appstream man-db) ;;
        mutate) pkgs+=(ccache) ;;  # scripts/mutate.sh's scratch builds
        *) echo "setup.sh: unknown group '$g'" >&2; exit 64 ;;
    esac
done

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup.sh: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
