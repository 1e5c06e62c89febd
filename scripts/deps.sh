#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need; skips what is
# present. Usage: scripts/deps.sh [build|test|package|windows]   (test also installs what the
# tests start; package what building and checking the Debian package needs; windows the
# MinGW-w64 cross compiler, Wine and what the Windows tests start)
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-svg-dev libxcb1-dev libcups2-dev libsystemd-dev nlohmann-json3-dev libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    cups-client scdoc librsvg2-bin)
test_pkgs=(cups-daemon iproute2 dnsmasq-base isc-dhcp-client procps psmisc
    dbus python3 python3-dbus python3-gi python3-dbusmock python3-xlib network-manager
    xvfb xauth trayer xdotool imagemagick xdg-utils hyperfine xfce4-panel xfconf openbox
    clang libclang-rt-14-dev bash-completion wine wine64)
# 64-bit only: Wine runs the tests' .exe files (wine64), the installer is NSIS, icons are
# made with icotool; GoogleTest is built from its sources for Windows. fonts-wine draws the
# dialogs as Windows does (Tahoma, and Marlett for the title bar's buttons).
windows_pkgs=(g++-mingw-w64-x86-64-posix wine64 wine fonts-wine nsis icoutils googletest)
package_pkgs=(dpkg-dev fakeroot file lintian appstream desktop-file-utils man-db bash-completion
    zsh)

want=("${build_pkgs[@]}")
[ "${1:-build}" = test ] && want+=("${test_pkgs[@]}")
[ "${1:-build}" = package ] && want+=("${package_pkgs[@]}")
[ "${1:-build}" = windows ] && want+=("${test_pkgs[@]}" "${windows_pkgs[@]}")

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}" >&2
# The tests start NetworkManager themselves, in a network namespace: a machine that did not
# have it must not get it running on its own network because the package came in.
if [[ " ${missing[*]} " == *" network-manager "* ]] && [ -d /run/systemd/system ]; then
    $sudo systemctl mask NetworkManager.service NetworkManager-wait-online.service \
        NetworkManager-dispatcher.service >&2
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
