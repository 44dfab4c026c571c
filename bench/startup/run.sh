#!/usr/bin/env bash
# Start-up time (process start to first paint of the window) and resident memory at that moment,
# for the real client and for a bare Qt Widgets window with the same controls, under Xvfb.
# Usage: bench/startup/run.sh [starts per program, default 21]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${CORVALIS_BENCH_BUILD:-$root/build-bench}
runs=${1:-21}

if [[ -z "${CORVALIS_BENCH_UNDER_XVFB:-}" ]]; then
    cmake -S "$root" -B "$build/startup" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCORVALIS_BUILD_BENCH=ON -DCORVALIS_BUILD_TESTS=OFF -DCORVALIS_BUILD_TOOLS=OFF >/dev/null
    cmake --build "$build/startup" --target corvalis_probed bare_window >/dev/null
    CORVALIS_BENCH_UNDER_XVFB=1 CORVALIS_BENCH_BUILD="$build" \
        exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$runs"
fi

client=$build/startup/bench/corvalis_probed
bare=$build/startup/bench/bare_window
export CORVALIS_BENCH_EXIT_ON_SHOW=1
export CORVALIS_CONTROL_SERVER=127.0.0.1:9

# One start: prints "<ms from start to first paint> <VmRSS kB>".
measure() {
    local started report shown rss
    started=$(date +%s%N)
    report=$("$1" 2>/dev/null)
    shown=${report#shown_ns=}
    shown=${shown%% *}
    rss=${report##*rss_kb=}
    awk -v a="$started" -v b="$shown" -v r="$rss" 'BEGIN { printf "%.2f %d\n", (b - a) / 1e6, r }'
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Warm the page cache and the font cache once, then alternate so both see the same conditions.
measure "$client" >/dev/null
measure "$bare" >/dev/null
: >"$build/client.txt"
: >"$build/bare.txt"
for ((i = 0; i < runs; i++)); do
    measure "$client" >>"$build/client.txt"
    measure "$bare" >>"$build/bare.txt"
done

client_ms=$(cut -d' ' -f1 "$build/client.txt" | median)
bare_ms=$(cut -d' ' -f1 "$build/bare.txt" | median)
client_kb=$(cut -d' ' -f2 "$build/client.txt" | median)
bare_kb=$(cut -d' ' -f2 "$build/bare.txt" | median)

printf 'Start-up to first paint and resident memory then; median of %d starts each, Xvfb, Release\n' "$runs"
printf '%-22s %12s %12s\n' "" "start-up ms" "VmRSS kB"
printf '%-22s %12.2f %12d\n' "corvalis" "$client_ms" "$client_kb"
printf '%-22s %12.2f %12d\n' "bare Qt window" "$bare_ms" "$bare_kb"
awk -v cm="$client_ms" -v bm="$bare_ms" -v ck="$client_kb" -v bk="$bare_kb" 'BEGIN {
    printf "%-22s %11.2fx %11.2fx   (target: at most 1.20x)\n", "ratio", cm / bm, ck / bk
}'
