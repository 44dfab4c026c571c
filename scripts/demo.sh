#!/usr/bin/env bash
# Runs the Qt client against the reference control server on loopback, with the sample table.
# Builds nothing: it uses the build folder given in CORVALIS_BUILD_DIR (default build/native).
# Closing the client stops the server.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${CORVALIS_BUILD_DIR:-build/native}
client="${build_dir}/src/qt/corvalis"
server="${build_dir}/tools/control-server/corvalis-control-server"
table=${CORVALIS_DEMO_TABLE:-tools/control-server/sample-table.txt}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "demo: run it under a virtual X server instead:  xvfb-run -a bash scripts/demo.sh" >&2
    exit 1
fi
for program in "${client}" "${server}"; do
    if [ ! -x "${program}" ]; then
        echo "demo: ${program} is missing; build first (bash scripts/run-demo.sh builds and runs)" >&2
        echo "demo: or set CORVALIS_BUILD_DIR to the build folder that holds it" >&2
        exit 1
    fi
done

server_log=$(mktemp "${TMPDIR:-/tmp}/corvalis-demo-server.XXXXXX")
"${server}" --table "${table}" --listen 127.0.0.1 --port 0 2>"${server_log}" &
server_pid=$!
stop_server() {
    kill "${server_pid}" 2>/dev/null || true
    wait "${server_pid}" 2>/dev/null || true
    echo "demo: control server stopped; its log was ${server_log}" >&2
}
trap stop_server EXIT

# The server picks a free port and names it once it listens.
port=
for _ in $(seq 1 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "${server_log}")
    [ -n "${port}" ] && break
    if ! kill -0 "${server_pid}" 2>/dev/null; then
        cat "${server_log}" >&2
        echo "demo: the control server did not start" >&2
        exit 1
    fi
    sleep 0.05
done
if [ -z "${port}" ]; then
    echo "demo: the control server did not report its port" >&2
    exit 1
fi

echo "demo: control server on 127.0.0.1:${port}; try the identifications acme, sorveteria," >&2
echo "demo: grafica (served) and velharia (cancelled). Close the window to end the demo." >&2
CORVALIS_CONTROL_SERVER="127.0.0.1:${port}" "${client}"
