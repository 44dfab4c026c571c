#!/usr/bin/env bash
# Runs one of the README's commands as a newcomer would: in a fresh minimal Debian root of the given
# release (mmdebstrap, no git), on a copy of this checkout's files as a release tarball holds them.
# Prints what the set-up installed (its size) and how long the command took; exits as the command did.
# usage: sudo scripts/fresh-root-check.sh RELEASE ROOT-DIR [test|demo]
#   RELEASE is bookworm (Debian 12) or trixie (Debian 13); ROOT-DIR is made if it does not exist.
#   demo builds the client and the server and brings the client's window up under Xvfb (on a free
#   display), then closes it. Needs root and Debian's mirror; not part of CI. A root shares the
#   machine's network, and with it the X servers' sockets: run the tests of one root at a time.
set -euo pipefail
release=${1:?usage: scripts/fresh-root-check.sh RELEASE ROOT-DIR [test|demo]}
root=$(realpath -m "${2:?usage: scripts/fresh-root-check.sh RELEASE ROOT-DIR [test|demo]}")
command=${3:-test}
cd "$(dirname "$0")/.."

if [ ! -x "${root}/usr/bin/apt-get" ]; then
    command -v mmdebstrap >/dev/null || apt-get install -y -qq --no-install-recommends mmdebstrap
    mmdebstrap --variant=minbase "${release}" "${root}"
fi
# The files a release tarball holds: those git tracks or would, without the git folder.
rm -rf "${root}/src/corvalis"
mkdir -p "${root}/src/corvalis"
if [ -d .git ] && command -v git >/dev/null; then
    git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - | tar -xf - -C "${root}/src/corvalis"
else
    tar --exclude=./build --exclude=./dist -cf - . | tar -xf - -C "${root}/src/corvalis"
fi

# Installed size of every package in the root, in MB.
packages_size() {
    dpkg-query --admindir="${root}/var/lib/dpkg" -W -f='${Installed-Size}\n' | awk '{ k += $1 } END { print int(k / 1024) }'
}
size_before=$(packages_size)
case "${command}" in
test) script='bash scripts/test-all.sh' ;;
demo)
    # The demo as the README gives it, with Xvfb standing in for a display; the window is looked
    # for by its title, then the demo is closed.
    script='bash scripts/install-deps.sh demo && apt-get install -y -qq --no-install-recommends x11-utils >/dev/null &&
        { Xvfb -displayfd 3 -screen 0 1024x768x24 3>/tmp/display >/dev/null 2>&1 & } && xvfb=$! && sleep 1 &&
        export DISPLAY=:$(cat /tmp/display) &&
        (bash scripts/run-demo.sh >/tmp/demo.log 2>&1 &) &&
        for _ in $(seq 900); do window=$(xwininfo -root -tree 2>/dev/null | grep "\"Corvalis ") && break; sleep 1; done;
        echo "window: ${window:-none}"; pkill -x corvalis; sleep 1; kill $xvfb; tail -n 3 /tmp/demo.log; [ -n "$window" ]' ;;
*)
    echo "usage: scripts/fresh-root-check.sh RELEASE ROOT-DIR [test|demo]" >&2
    exit 2
    ;;
esac

start=${SECONDS}
status=0
# shellcheck disable=SC2016
unshare --mount --propagation private bash -c '
    set -e
    root=$1 script=$2
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM=dumb bash -c "cd /src/corvalis && $script"' \
    fresh-root "${root}" "${script}" || status=$?
echo "fresh root (${release}, ${command}): exit status ${status} after $((SECONDS - start)) s;" \
    "the set-up installed $(($(packages_size) - size_before)) MB of packages"
exit "${status}"
