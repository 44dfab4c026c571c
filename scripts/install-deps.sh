#!/usr/bin/env bash
# Installs, on Debian or Ubuntu, whatever the chosen command still lacks:
#   demo  building and running the client and the reference control server (FreeRDP for the
#         remote desktop, Xvfb for a machine without a display);
#   test  the demo's, plus the tests' own: GoogleTest, the Windows cross build and Wine, the lint
#         and packaging tools, clang for the fuzz targets, and the real peers the tests meet (xrdp,
#         nginx, HAProxy, curl).
# An entry "a|b" takes the first name the release offers, so one list serves Debian 12 and 13.
# usage: scripts/install-deps.sh [demo|test]   (test by default)
set -euo pipefail
kind=${1:-test}

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins libgl-dev libasio-dev libsystemd-dev
    fonts-wine fonts-dejavu-core xvfb xauth
    "freerdp3-x11|freerdp2-x11"
)
if [ "${kind}" = test ]; then
    packages+=(
        libgtest-dev libgmock-dev qt6-base-private-dev
        g++-mingw-w64-x86-64 mingw-w64-x86-64-dev "wine64|wine" wine
        imagemagick "nginx-light|nginx" util-linux
        clang-format clang-tidy cppcheck
        clang "libclang-rt-dev|libclang-rt-14-dev"
        dpkg-dev zip unzip wixl lintian systemd "systemd-dev|systemd"
        xrdp x11-utils openssl procps haproxy curl
    )
elif [ "${kind}" != demo ]; then
    echo "usage: scripts/install-deps.sh [demo|test]" >&2
    exit 2
fi

# Each reads the whole answer first: grep -q leaving a pipe early would fail it under pipefail.
installed() {
    [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]
}
offered() {
    [[ "$(apt-cache policy "$1" 2>/dev/null)" =~ Candidate:\ [^\(] ]]
}

# The first name of an "a|b" entry that passes the check given, or nothing.
first_of() {
    local check=$1 name names
    IFS='|' read -r -a names <<<"$2"
    for name in "${names[@]}"; do
        "${check}" "${name}" && echo "${name}" && return
    done
    return 0
}

# Entries none of whose names is installed yet.
wanted=()
for entry in "${packages[@]}"; do
    [ -n "$(first_of installed "${entry}")" ] || wanted+=("${entry}")
done
[ ${#wanted[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
"${as_root[@]}" apt-get update -qq

missing=()
for entry in "${wanted[@]}"; do
    chosen=$(first_of offered "${entry}")
    if [ -z "${chosen}" ]; then
        echo "install-deps: this release offers none of: ${entry//|/ }" >&2
        exit 1
    fi
    missing+=("${chosen}")
done
echo "Installing: ${missing[*]}"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
