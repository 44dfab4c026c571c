#!/bin/sh
# Starts (start SERVER DIR) or stops (stop DIR) the reference control server for the Windows tests,
# which run under Wine on this machine: on a free loopback port, written to DIR/control-server.port
# (digits only).
set -eu
[ "$1" = stop ] && exec kill "$(cat "$2/control-server.pid")"
# A server left by an interrupted run goes first.
kill "$(cat "$3/control-server.pid" 2>/dev/null)" 2>/dev/null || true
# One company, whose record is long enough to take more than one read.
printf 'acme=127.0.0.1|Acme|a|3390|8080|ativo|-|-|%06000d\n' 0 >"$3/control-server.table"
# Output away from CTest's pipe, which would otherwise wait for the server to end.
"$2" --table "$3/control-server.table" --port 0 </dev/null >/dev/null 2>"$3/control-server.log" &
echo $! >"$3/control-server.pid"
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$3/control-server.log")
    [ -n "$port" ] && printf %s "$port" >"$3/control-server.port" && exit
    sleep 0.1
done
cat "$3/control-server.log" >&2 && exit 1
