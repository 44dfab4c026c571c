#!/usr/bin/env bash
# Builds (if needed) and runs the control server with a table of many companies on loopback, and
# prints: the load time; answer times for a known company (no longer identification extends it),
# an unknown one, and an unknown one that identifications in the table start with (that one waits
# for the request pause); then reloads under load: clients keep asking for one company while
# SIGHUP swaps in a table where its record differs, then the first table again, then a broken
# one. Every exchange must get the old record or the new one, whole. Last, the answer times of the
# known company during one more reload: exchanges on a fixed schedule (one a millisecond), each
# timed from when it was due, counting those due between the signal and the reload's end.
#   BENCH_BUILD_DIR   build folder (default build-bench/server)
#   BENCH_BUILT       a build folder whose programs are used as they are, nothing configured or built
#   BENCH_SHORT       set: 1000 companies and reloads 0.3 s apart, which shows that the benchmark
#                     works, not how fast the server is (the test command runs this)
#   BENCH_COMPANIES   companies in the table (default 1000000)
#   BENCH_CLIENTS     clients during the reloads (default 16)
set -euo pipefail
cd "$(dirname "$0")/../.."

reload_gap_s=2
if [ -n "${BENCH_SHORT:-}" ]; then
    : "${BENCH_COMPANIES:=1000}"
    reload_gap_s=0.3
fi
build_dir=${BENCH_BUILT:-${BENCH_BUILD_DIR:-build-bench/server}}
companies=${BENCH_COMPANIES:-1000000}
clients=${BENCH_CLIENTS:-16}
# The load lasts the three reloads and as long again after them.
load_ms=$(awk -v gap="${reload_gap_s}" 'BEGIN { print gap * 6000 }')

if [ -z "${BENCH_BUILT:-}" ]; then
    cmake -S . -B "${build_dir}" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIS_BUILD_BENCH=ON \
        -DCORVALIS_BUILD_TESTS=OFF -DCORVALIS_BUILD_QT=OFF >/dev/null
    cmake --build "${build_dir}" --target corvalis-control-server corvalis-answer-times >/dev/null
fi
server="${build_dir}/tools/control-server/corvalis-control-server"
timer="${build_dir}/bench/corvalis-answer-times"

work=$(mktemp -d "${TMPDIR:-/tmp}/corvalis-big-table.XXXXXX")
server_pid=
cleanup() {
    [ -n "${server_pid}" ] && kill "${server_pid}" 2>/dev/null && wait "${server_pid}" 2>/dev/null
    rm -rf "${work}"
}
trap cleanup EXIT

# Two tables with the same companies and different addresses, and one with no valid record.
make_table() {
    awk -v n="${companies}" -v net="$1" 'BEGIN {
        for (i = 0; i < n; i++)
            printf "empresa-%07d=%s.%d.%d.%d|Empresa %d Ltda|plano-a|3389|8080|ativo|2024-01-10|-|-\n",
                i, net, int(i / 65536) % 256, int(i / 256) % 256, i % 256, i
    }' >"$2"
}
make_table 10 "${work}/old.txt"
make_table 11 "${work}/new.txt"
echo "no valid record here" >"${work}/broken.txt"
probe=$(printf 'empresa-%07d' $((companies / 2)))
old_record=$(sed -n "s/^${probe}=//p" "${work}/old.txt")
new_record=$(sed -n "s/^${probe}=//p" "${work}/new.txt")

now_ms() { date +%s%3N; }
# Milliseconds since the epoch of the first log line after line $1 that holds $2.
logged_ms() {
    local line
    for _ in $(seq 1 2000); do
        line=$(tail -n +"$1" "${work}/server.log" | grep -m1 -- "$2" || true)
        if [ -n "${line}" ]; then
            date -d "${line%% *}" +%s%3N
            return 0
        fi
        sleep 0.01
    done
    echo "no log line with '$2':" >&2
    cat "${work}/server.log" >&2
    exit 1
}
log_lines() { wc -l <"${work}/server.log"; }

cp "${work}/old.txt" "${work}/table.txt"
echo "machine: $(nproc) cores, $(uname -r); table: ${companies} companies, $(du -h "${work}/old.txt" | cut -f1)"
started=$(now_ms)
"${server}" --table "${work}/table.txt" --port 0 2>"${work}/server.log" &
server_pid=$!
loaded=$(logged_ms 1 "listening on")
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "${work}/server.log")
echo "load (start to listening): $((loaded - started)) ms;" \
    "resident: $(awk '/VmRSS/ { print $2 / 1024 " MiB" }' "/proc/${server_pid}/status")"

refusal=$(printf 'N\xe3o foi localizado um registro n\xe3o cancelado.')
"${timer}" latency --port "${port}" --request "PEL_${probe}" --expect "${old_record}"
"${timer}" latency --port "${port}" --request "PEL_nobody" --expect "${refusal}"
"${timer}" latency --port "${port}" --request "PEL_${probe:0:10}" --expect "${refusal}" --count 20

# Reloads while the clients run: new table, old table again, broken table.
"${timer}" load --port "${port}" --request "PEL_${probe}" --expect "${old_record}" \
    --or-expect "${new_record}" --clients "${clients}" --duration-ms "${load_ms}" >"${work}/load.txt" &
load_pid=$!
for table in new old broken; do
    sleep "${reload_gap_s}"
    cp "${work}/${table}.txt" "${work}/table.txt"
    from=$(($(log_lines) + 1))
    signalled=$(now_ms)
    kill -HUP "${server_pid}"
    done_ms=$(logged_ms "${from}" "reloaded")
    echo "reload of ${table}.txt under load: $((done_ms - signalled)) ms ($(tail -n +"${from}" \
        "${work}/server.log" | grep -m1 reloaded | cut -d' ' -f2-))"
    reload_ms=${reload_ms:-$((done_ms - signalled))}
done
wait "${load_pid}" && status=ok || status=FAILED
echo "under load (${clients} clients, ${load_ms} ms, three reloads): $(cat "${work}/load.txt") -> ${status}"

cp "${work}/new.txt" "${work}/table.txt"
from=$(($(log_lines) + 1))
"${timer}" paced --port "${port}" --request "PEL_${probe}" --expect "${old_record}" \
    --or-expect "${new_record}" --duration-ms $((2 * reload_ms + 3000)) >"${work}/paced.txt" &
paced_pid=$!
sleep 1.5
signalled=$(now_ms)
kill -HUP "${server_pid}"
done_ms=$(logged_ms "${from}" "reloaded")
wait "${paced_pid}" && paced=ok || paced=FAILED
# The exchanges due in the second before the signal, and those due between it and the reload's end.
times() {
    awk -v from="$2" -v to="$3" '$1 >= from && $1 < to { print $2 }' "${work}/paced.txt" |
        sort -n >"${work}/times.txt"
    local count
    count=$(wc -l <"${work}/times.txt")
    at() { sed -n "$(((count - 1) * $1 / 100 + 1))p" "${work}/times.txt"; }
    echo "answer times $1: exchanges=${count} median_us=$(at 50) p99_us=$(at 99) max_us=$(at 100)"
}
times "before the reload (one exchange due a millisecond)" $((signalled - 1000)) "${signalled}"
times "during the reload ($((done_ms - signalled)) ms)" "${signalled}" $((done_ms + 1))
echo "paced exchanges: ${paced}"
echo "peak resident: $(awk '/VmHWM/ { print $2 / 1024 " MiB" }' "/proc/${server_pid}/status")"
[ "${status}" = ok ] && [ "${paced}" = ok ]
