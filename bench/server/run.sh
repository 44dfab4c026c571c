#!/usr/bin/env bash
# Builds (if needed) and runs the control-server benchmark on loopback, with nginx serving a tiny
# page with "Connection: close" under the same load as the yardstick. Prints the figures.
#   BENCH_BUILD_DIR   build folder (default build-bench/server)
#   BENCH_DURATION_MS length of each exchange run (default 5000)
#   BENCH_CLIENTS     concurrent clients (default 64)
#   BENCH_IDLE        idle connections to hold (default 10000)
set -euo pipefail
cd "$(dirname "$0")/../.."

build_dir=${BENCH_BUILD_DIR:-build-bench/server}
duration_ms=${BENCH_DURATION_MS:-5000}
clients=${BENCH_CLIENTS:-64}
idle_connections=${BENCH_IDLE:-10000}

cmake -S bench/server -B "${build_dir}" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "${build_dir}" >/dev/null
server="${build_dir}/control-server/corvalis-control-server"
generator="${build_dir}/corvalis-load-generator"
nginx_binary=$(command -v nginx || echo /usr/sbin/nginx)

work=$(mktemp -d "${TMPDIR:-/tmp}/corvalis-bench.XXXXXX")
chmod 755 "${work}"
server_pid=
nginx_pid=
cleanup() {
    [ -n "${server_pid}" ] && kill "${server_pid}" 2>/dev/null && wait "${server_pid}" 2>/dev/null
    [ -n "${nginx_pid}" ] && kill "${nginx_pid}" 2>/dev/null && wait "${nginx_pid}" 2>/dev/null
    rm -rf "${work}"
}
trap cleanup EXIT

record='127.0.0.1|Acme Ltda|plano-a|3389|8080|ativo|2024-01-10|suporte|-'
printf 'acme=%s\n' "${record}" >"${work}/table.txt"

# Starts the control server with the given extra options; sets server_pid and server_port.
start_server() {
    "${server}" --table "${work}/table.txt" --port 0 "$@" 2>"${work}/server.log" &
    server_pid=$!
    server_port=
    for _ in $(seq 1 100); do
        server_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "${work}/server.log")
        [ -n "${server_port}" ] && return 0
        sleep 0.05
    done
    echo "the control server did not start:" >&2
    cat "${work}/server.log" >&2
    exit 1
}
stop_server() {
    kill "${server_pid}" && wait "${server_pid}" || true
    server_pid=
}

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

echo "machine: $(nproc) cores, $(uname -r); ${clients} clients, ${duration_ms} ms per run, loopback"
echo "control server: one thread; nginx: worker_processes 1; both write one log line per exchange"

# 1. Exchanges per second against the control server.
start_server
corvalis=$("${generator}" exchanges --port "${server_port}" --protocol corvalis \
    --clients "${clients}" --duration-ms "${duration_ms}" --request PEL_acme --expect "${record}")
stop_server

# 2. The same load against nginx: a tiny static page, then the same body from memory.
mkdir -p "${work}/html" "${work}/nginx"
printf '%s' "${record}" >"${work}/html/index.html"
chmod -R a+rX "${work}"
nginx_port=$("${generator}" free-port)
cat >"${work}/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid ${work}/nginx/nginx.pid;
error_log ${work}/nginx/error.log;
events { worker_connections 4096; }
http {
    access_log ${work}/nginx/access.log;
    keepalive_timeout 0;
    client_body_temp_path ${work}/nginx/body;
    proxy_temp_path ${work}/nginx/proxy;
    fastcgi_temp_path ${work}/nginx/fastcgi;
    uwsgi_temp_path ${work}/nginx/uwsgi;
    scgi_temp_path ${work}/nginx/scgi;
    server {
        listen 127.0.0.1:${nginx_port};
        root ${work}/html;
        location = /memory { default_type text/plain; return 200 "${record}"; }
    }
}
CONF
"${nginx_binary}" -p "${work}/nginx" -c "${work}/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 1 100); do
    "${generator}" exchanges --port "${nginx_port}" --protocol http --clients 1 \
        --duration-ms 50 >/dev/null 2>&1 && break
    sleep 0.05
done
nginx_page=$("${generator}" exchanges --port "${nginx_port}" --protocol http \
    --clients "${clients}" --duration-ms "${duration_ms}")
nginx_memory=$("${generator}" exchanges --port "${nginx_port}" --protocol http --path /memory \
    --clients "${clients}" --duration-ms "${duration_ms}")
kill "${nginx_pid}" && wait "${nginx_pid}" || true
nginx_pid=

# 3. Idle connections held, and what each one costs the server.
start_server --max-connections $((idle_connections + 100)) --idle-timeout 120000
idle=$("${generator}" idle --port "${server_port}" --server-pid "${server_pid}" \
    --connections "${idle_connections}") || true
stop_server

corvalis_rate=$(field exchanges_per_second "${corvalis}")
page_rate=$(field exchanges_per_second "${nginx_page}")
memory_rate=$(field exchanges_per_second "${nginx_memory}")
held=$(field idle_connections_held "${idle}")
per_connection=$(field bytes_per_connection "${idle}")

echo
printf '%-44s %12s  %s\n' "exchange (connect, request, reply, close)" "per second" "details"
printf '%-44s %12s  %s\n' "control server: greeting, PEL_acme, record" "${corvalis_rate}" "${corvalis}"
printf '%-44s %12s  %s\n' "nginx: GET tiny static page" "${page_rate}" "${nginx_page}"
printf '%-44s %12s  %s\n' "nginx: GET same bytes from memory (return)" "${memory_rate}" "${nginx_memory}"
echo
awk -v ours="${corvalis_rate}" -v page="${page_rate}" -v memory="${memory_rate}" 'BEGIN {
    printf "ratio to nginx static page: %.2fx, to nginx return: %.2fx (target: at least 0.80x)\n",
        ours / page, ours / memory }'
echo
echo "idle: ${idle}"
awk -v held="${held}" -v wanted="${idle_connections}" -v bytes="${per_connection}" 'BEGIN {
    printf "idle connections held: %d of %d; server memory per connection: %.0f bytes = %.2f KiB (target: 10000 held, under 16 KiB each)\n",
        held, wanted, bytes, bytes / 1024 }'
