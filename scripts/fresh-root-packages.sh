#!/usr/bin/env bash
# Installs the Debian packages in dist/ into a fresh Debian root of the release they were built on
# (dpkg -i, then apt-get install -f for their dependencies) and checks them there: the client, started offscreen as a plain user,
# keeps pelmark.ini in that user's ~/.config/corvalis, not beside itself; the server, started with
# its unit's command line, answers a client with its installed table, reloads on SIGHUP and serves
# /metrics; systemd-analyze accepts the unit. A package that
# did not install fails the check of what it holds.
# Usage: scripts/fresh-root-packages.sh [RELEASE]   (as root, with the network; slow: it
# builds a root). RELEASE is this machine's by default.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
release=${1:-$(. /etc/os-release && echo "$VERSION_CODENAME")}
command -v mmdebstrap >/dev/null || apt-get install -y -qq --no-install-recommends mmdebstrap
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# shellcheck disable=SC2016
mmdebstrap --variant=minbase --include=systemd "$release" "$root" \
    --customize-hook="cp $PWD/dist/corvalis_*.deb $PWD/dist/corvalis-control-server_*.deb \"\$1/tmp/\"" \
    --customize-hook='chroot "$1" sh -c "dpkg -i /tmp/*.deb || apt-get install -f -y -q"' || exit 1

mount -t proc proc "$root/proc"
trap 'umount "$root/proc" && rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
# Waits up to a minute for a file to appear, holding a text if one is given.
await() {
    for _ in $(seq 600); do
        [ -e "$1" ] && { [ -z "${2:-}" ] || grep -q "$2" "$1"; } && return
        sleep 0.1
    done
}

# The client, as a user with a home of their own.
mkdir -p "$root/home/ana"
chown 1000:1000 "$root/home/ana"
chroot --userspec=1000:1000 "$root" env -i HOME=/home/ana PATH=/usr/bin:/bin \
    QT_QPA_PLATFORM=offscreen corvalis 2>/dev/null &
client=$!
await "$root/home/ana/.config/corvalis/pelmark.ini"
kill "$client"
[ -f "$root/home/ana/.config/corvalis/pelmark.ini" ] || fail "the client made no ~/.config/corvalis/pelmark.ini"
[ ! -e "$root/usr/lib/corvalis/pelmark.ini" ] || fail "the client wrote beside itself"

# The server, as nobody, started with its unit's command line, on free ports of loopback (later
# options win): it answers, reloads on SIGHUP and serves /metrics.
read -r -a command < <(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/system/corvalis-control-server.service")
chroot --userspec=65534:65534 "$root" "${command[@]}" --port 0 --metrics 127.0.0.1:0 \
    2>"$root/tmp/server.log" &
server=$!
await "$root/tmp/server.log" "listening on"
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$root/tmp/server.log")
metrics=$(sed -n 's/.*metrics on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$root/tmp/server.log")
if [ -n "$port" ] && exec 3<>"/dev/tcp/127.0.0.1/$port"; then
    [ "$(head -c 10 <&3)" = $'Conex\xe3o_OK' ] || fail "no greeting in Windows-1252"
    printf PEL_acme >&3
    [ "$(cat <&3)" = "$(sed -n 's/^acme=//p' "$root/etc/corvalis/table.txt")" ] ||
        fail "the server did not answer with the record of acme"
    exec 3>&-
else
    fail "the server does not listen on 127.0.0.1: $(cat "$root/tmp/server.log")"
fi
kill -HUP "$server"
await "$root/tmp/server.log" "reloaded"
grep -q "reloaded" "$root/tmp/server.log" || fail "the server did not reload on SIGHUP"
curl -sf "http://127.0.0.1:$metrics/metrics" | grep -q '^corvalis_reloads_total{result="succeeded"} 1$' ||
    fail "no /metrics counting the reload on 127.0.0.1:$metrics"
kill "$server"

chroot "$root" systemd-analyze verify /usr/lib/systemd/system/corvalis-control-server.service ||
    fail "systemd-analyze does not accept the unit"
[ "$failures" -eq 0 ] && echo "fresh root: all checks passed"
exit "$((failures > 0))"
