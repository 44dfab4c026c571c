#!/usr/bin/env bash
# Installs, on Debian or Ubuntu, whatever the build, the tests and the demo still lack. FreeRDP, xrdp
# and the X utilities are for the tests that start the real remote-desktop client against a real
# server; the client itself needs only FreeRDP, and only at run time.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev
    qt6-base-dev libgl-dev
    libasio-dev
    xvfb xauth fonts-wine fonts-dejavu-core
    g++-mingw-w64-x86-64 mingw-w64-x86-64-dev wine wine64
    imagemagick nginx-light util-linux
    clang-format clang-tidy cppcheck
    clang libclang-rt-14-dev
    dpkg-dev zip unzip lintian systemd
    freerdp2-x11 xrdp x11-utils openssl procps
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
