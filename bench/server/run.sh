#!/usr/bin/env bash
# Builds (if needed) and runs the control-server benchmark on loopback, with nginx serving a tiny
# page with "Connection: close" under the same load as the yardstick. Prints the figures.
# The server runs with its own limits, except where a run needs more; those are printed.
#   BENCH_BUILD_DIR   build folder (default build-bench/server)
#   BENCH_BUILT       a build folder whose programs are used as they are, nothing configured or built
#   BENCH_SHORT       set: one round of 300 ms runs and 200 idle connections, which shows that the
#                     benchmark works, not how fast the server is (the test command runs this)
#   BENCH_DURATION_MS length of each exchange run (default 3000)
#   BENCH_CLIENTS     concurrent clients (default 64)
#   BENCH_IDLE        idle connections to hold (default 10000)
#   BENCH_ROUNDS      rounds of the three exchange runs, taken in turn (default 5); the median
#                     rate of each is compared, so that passing load on the machine matters less
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ -n "${BENCH_SHORT:-}" ]; then
    : "${BENCH_DURATION_MS:=300}" "${BENCH_ROUNDS:=1}" "${BENCH_IDLE:=200}"
fi
build_dir=${BENCH_BUILT:-${BENCH_BUILD_DIR:-build-bench/server}}
duration_ms=${BENCH_DURATION_MS:-3000}
clients=${BENCH_CLIENTS:-64}
idle_connections=${BENCH_IDLE:-10000}
rounds=${BENCH_ROUNDS:-5}

# The clients come from several loopback addresses, so that none has more connections than half
# the server's default --max-per-address (32): a closed connection still counts until the server
# has seen it close.
per_address=16
exchange_sources=$(((clients + per_address - 1) / per_address))
idle_sources=$(((idle_connections + per_address - 1) / per_address))
default_max_connections=1024
default_idle_timeout_ms=10000
# The idle run may hold more connections than the server allows at once by default, and holds
# them for longer than its idle time-out may last on a slow machine while they open.
idle_max_connections=$((idle_connections + 100 > default_max_connections ?
    idle_connections + 100 : default_max_connections))
idle_timeout_ms=120000

if [ -z "${BENCH_BUILT:-}" ]; then
    cmake -S . -B "${build_dir}" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIS_BUILD_BENCH=ON \
        -DCORVALIS_BUILD_TESTS=OFF -DCORVALIS_BUILD_QT=OFF >/dev/null
    cmake --build "${build_dir}" --target corvalis-control-server corvalis-load-generator >/dev/null
fi
server="${build_dir}/tools/control-server/corvalis-control-server"
generator="${build_dir}/bench/corvalis-load-generator"
nginx_binary=$(command -v nginx || echo /usr/sbin/nginx)

# Servers on the first core, load generator on the second, when the machine has two.
on_server_core=()
on_generator_core=()
if command -v taskset >/dev/null && [ "$(nproc)" -ge 2 ]; then
    on_server_core=(taskset -c 0)
    on_generator_core=(taskset -c 1)
fi

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
    "${on_server_core[@]}" "${server}" --table "${work}/table.txt" --port 0 "$@" \
        2>"${work}/server.log" &
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
echo "clients from ${exchange_sources} loopback addresses (127.0.0.1 on), at most ${per_address} each"
[ ${#on_server_core[@]} -gt 0 ] && echo "servers pinned to core 0, load generator to core 1"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# The control server and nginx (a tiny static page, and the same bytes from memory) both listen;
# the load goes to one at a time.
start_server
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
"${on_server_core[@]}" "${nginx_binary}" -p "${work}/nginx" -c "${work}/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 1 100); do
    "${generator}" exchanges --port "${nginx_port}" --protocol http --clients 1 \
        --duration-ms 50 >/dev/null 2>&1 && break
    sleep 0.05
done

# Runs the generator on its own core (the servers share the other), prints and keeps the rate.
measure() {
    local -n rates=$1
    local label=$2
    shift 2
    local line status=0
    line=$("${on_generator_core[@]}" "${generator}" exchanges --clients "${clients}" \
        --duration-ms "${duration_ms}" --source-addresses "${exchange_sources}" "$@") || status=$?
    printf 'round %d %-15s %s\n' "${round}" "${label}:" "${line}"
    if [ "${status}" -ne 0 ]; then
        echo "the ${label} run failed: exchanges failed or none completed" >&2
        exit 1
    fi
    rates+=("$(field exchanges_per_second "${line}")")
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
corvalis_rates=()
page_rates=()
memory_rates=()
for round in $(seq 1 "${rounds}"); do
    measure corvalis_rates "control server" --port "${server_port}" --protocol corvalis \
        --request PEL_acme --expect "${record}"
    measure page_rates "nginx page" --port "${nginx_port}" --protocol http
    measure memory_rates "nginx memory" --port "${nginx_port}" --protocol http --path /memory
done
kill "${nginx_pid}" && wait "${nginx_pid}" || true
nginx_pid=
stop_server

# Idle connections held, and what each one costs the server.
start_server --max-connections "${idle_max_connections}" --idle-timeout "${idle_timeout_ms}"
idle_status=0
idle=$("${generator}" idle --port "${server_port}" --server-pid "${server_pid}" \
    --connections "${idle_connections}" --source-addresses "${idle_sources}") || idle_status=$?
stop_server

corvalis_rate=$(median "${corvalis_rates[@]}")
page_rate=$(median "${page_rates[@]}")
memory_rate=$(median "${memory_rates[@]}")
held=$(field idle_connections_held "${idle}")
per_connection=$(field bytes_per_connection "${idle}")

echo
# Each exchange is a new connection, closed after it; ours waits for one round trip more than
# HTTP's, as the server greets first and the client asks only then.
row() { printf '%-66s %9s  %s\n' "$@"; }
row "exchanges per second on a new connection each" "median/s" "all rounds"
row "control server: greeting out, PEL_acme in, record out (2 trips)" "${corvalis_rate}" \
    "${corvalis_rates[*]}"
row "nginx: GET / in, the same bytes from a static file out (1 trip)" "${page_rate}" \
    "${page_rates[*]}"
row "nginx: GET /memory in, the same bytes from its config out (1 trip)" "${memory_rate}" \
    "${memory_rates[*]}"
echo
awk -v ours="${corvalis_rate}" -v page="${page_rate}" -v memory="${memory_rate}" 'BEGIN {
    printf "control server / nginx static page: %.2fx (target: at least 1.00x); / nginx return: %.2fx\n",
        ours / page, ours / memory }'
changed="--idle-timeout ${idle_timeout_ms} ms (default ${default_idle_timeout_ms})"
[ "${idle_max_connections}" -eq "${default_max_connections}" ] ||
    changed+=", --max-connections ${idle_max_connections} (default ${default_max_connections})"
echo "server limits: its defaults in the exchange runs; changed in the idle run: ${changed}"
echo
echo "idle: ${idle} (from ${idle_sources} loopback addresses)"
awk -v held="${held}" -v wanted="${idle_connections}" -v bytes="${per_connection}" 'BEGIN {
    printf "idle connections held: %d of %d; server memory per connection: %.0f bytes = %.2f KiB (target: 10000 held, under 16 KiB each)\n",
        held, wanted, bytes, bytes / 1024 }'
[ "${idle_status}" -eq 0 ]
