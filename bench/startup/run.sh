#!/usr/bin/env bash
# Start-up time (process start to first paint of the window) and resident memory at that moment,
# for the real client and for a bare Qt Widgets window with the same controls, under Xvfb.
# Usage: bench/startup/run.sh [starts per program, default 21]
#   CORVALIS_BENCH_BUILD  build root (default build-bench; the programs are built in its startup/)
#   BENCH_BUILT           a build folder whose programs are used as they are, nothing configured or built
#   BENCH_SHORT           set: one start of each, which shows that the benchmark works, not how
#                         fast the client starts (the test command runs this)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${CORVALIS_BENCH_BUILD:-$root/build-bench}
runs=${1:-${BENCH_SHORT:+1}}
runs=${runs:-21}

if [[ -z "${CORVALIS_BENCH_UNDER_XVFB:-}" ]]; then
    if [[ -z "${BENCH_BUILT:-}" ]]; then
        cmake -S "$root" -B "$build/startup" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCORVALIS_BUILD_BENCH=ON -DCORVALIS_BUILD_TESTS=OFF -DCORVALIS_BUILD_TOOLS=OFF >/dev/null
        cmake --build "$build/startup" --target corvalis_probed bare_window >/dev/null
    fi
    CORVALIS_BENCH_UNDER_XVFB=1 CORVALIS_BENCH_BUILD="$build" \
        exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$runs"
fi

programs=${BENCH_BUILT:-$build/startup}/bench
client=$programs/corvalis_probed
bare=$programs/bare_window
export CORVALIS_BENCH_EXIT_ON_SHOW=1
export CORVALIS_CONTROL_SERVER=127.0.0.1:9
# A window that never paints would hold the run for good.
start_timeout_s=30
work=$(mktemp -d "${TMPDIR:-/tmp}/corvalis-startup.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One start: prints "<ms from start to first paint> <VmRSS kB>".
measure() {
    local started report shown rss
    started=$(date +%s%N)
    report=$(timeout "$start_timeout_s" "$1" 2>/dev/null)
    if [[ "$report" != shown_ns=*rss_kb=* ]]; then
        echo "$1 did not report its first paint" >&2
        return 1
    fi
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
for ((i = 0; i < runs; i++)); do
    measure "$client" >>"$work/client.txt"
    measure "$bare" >>"$work/bare.txt"
done

client_ms=$(cut -d' ' -f1 "$work/client.txt" | median)
bare_ms=$(cut -d' ' -f1 "$work/bare.txt" | median)
client_kb=$(cut -d' ' -f2 "$work/client.txt" | median)
bare_kb=$(cut -d' ' -f2 "$work/bare.txt" | median)

printf 'Start-up to first paint and resident memory then; median of %d starts each, Xvfb; %s\n' \
    "$runs" "$programs"
printf '%-22s %12s %12s\n' "" "start-up ms" "VmRSS kB"
printf '%-22s %12.2f %12d\n' "corvalis" "$client_ms" "$client_kb"
printf '%-22s %12.2f %12d\n' "bare Qt window" "$bare_ms" "$bare_kb"
awk -v cm="$client_ms" -v bm="$bare_ms" -v ck="$client_kb" -v bk="$bare_kb" 'BEGIN {
    printf "%-22s %11.2fx %11.2fx   (target: at most 1.05x)\n", "ratio", cm / bm, ck / bk
}'
