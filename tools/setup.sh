#!/usr/bin/env bash
# Installs what Varnolix needs to build, test and run on Debian 12; installs
# only what is missing, through sudo when not root.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git dpkg-dev
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev
    libicu-dev fonts-noto-cjk
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xdotool x11-utils imagemagick evilwm wmctrl
    dbus-daemon dbus-bin at-spi2-core python3-pyatspi
    lintian appstream desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
