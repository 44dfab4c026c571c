#!/usr/bin/env bash
# Runs every Qt test of the AddressSanitizer build ten times in a fresh Debian root that holds
# only the run-time packages, with LANG=C.UTF-8 and a login's HOME and XDG_DATA_DIRS: LeakSanitizer
# faults that depend on the heap layout show there and not always on a developer's machine.
# Usage: scripts/fresh-root-asan.sh <root-dir> [runs]. Needs root; not part of CI. The root is of
# this machine's release, as the build is.
set -euo pipefail
root=$(realpath -m "$1")
runs=${2:-10}
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
cd "$(dirname "$0")/.."
checkout=$PWD
build=$checkout/build/asan

# What the Qt tests meet at run time: Qt, the sanitizer runtimes, fonts, and the real remote-desktop
# peers (FreeRDP, xrdp, Xvfb and the X tools the tests look through).
packages=libqt6widgets6,libqt6network6,libqt6test6,qt6-qpa-plugins,libasan8,libubsan1,fonts-dejavu-core
packages+=,fonts-wine,cmake,xrdp,xvfb,x11-utils,openssl,procps
if [ "$release" = bookworm ]; then
    packages+=,freerdp2-x11
else
    packages+=,freerdp3-x11
fi
if [ ! -x "$root/usr/bin/ctest" ]; then
    command -v mmdebstrap >/dev/null || apt-get install -y -qq --no-install-recommends mmdebstrap
    mmdebstrap --variant=minbase "$release" "$root" --include="$packages"
elif [ ! -x "$root/usr/sbin/xrdp" ]; then
    chroot "$root" apt-get install -y -qq --no-install-recommends ${packages//,/ }
fi

scripts/install-deps.sh test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVALIS_SANITIZE=ON -DCORVALIS_BUILD_WIN32=OFF >/dev/null
tests=$(ctest --test-dir "$build" -N -R '^qt_' | sed -n 's/.*Test *#[0-9]*: \(qt_.*\)/\1/p')
# shellcheck disable=SC2086
cmake --build "$build" --target ${tests//qt_/}

# The checkout at the same path inside the root, so the paths built into the tests hold there too.
# shellcheck disable=SC2016
unshare --mount --propagation private bash -c '
    set -e
    root=$1 checkout=$2 build=$3 runs=$4
    mkdir -p "$root$checkout"
    mount --bind "$checkout" "$root$checkout"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    for _ in $(seq "$runs"); do
        chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
            XDG_DATA_DIRS=/usr/local/share:/usr/share \
            ctest --test-dir "$build" -R "^qt_" --timeout 300 --output-on-failure 2>&1 || true
    done' fresh-root "$root" "$checkout" "$build" "$runs" | tee "$build/fresh-root.log" |
    awk '/Test +#[0-9]+: qt_/ { name = $4; if (!(name in seen)) order[++n] = name; seen[name] = 1
                                if ($0 ~ / Passed /) { passed[name]++; p++ } else { failed[name]++; f++ } }
         END { for (i = 1; i <= n; i++)
                   printf "%-28s %d passed, %d failed\n", order[i], passed[order[i]], failed[order[i]]
               printf "total: %d passed, %d failed\n", p, f }'
