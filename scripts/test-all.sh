#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build, the same build under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows build under Wine, each benchmark once in its short mode,
# the release packages, and each fuzz target for 20 s, one a core at a time.
set -uo pipefail
cd "$(dirname "$0")/.."
if ! scripts/install-deps.sh test; then
    echo "total: 0 passed, 1 failed (the set-up)"
    exit 1
fi

export CTEST_OUTPUT_ON_FAILURE=1
passed=0
failed=0
status=0
stage_times=""
stage_name=""
stage_start=$SECONDS
# Counts one failure: every failed step (a build, lint, a test, the packages, a fuzz target) is one,
# so the closing line's failures are above zero exactly when the command exits non-zero.
fail() {
    echo "FAILED: $*"
    failed=$((failed + 1))
    status=1
}
# Starts the stage named $1 (none ends the last one), noting how long the one before it took.
stage() {
    [ -z "${stage_name}" ] || stage_times+=" ${stage_name} $((SECONDS - stage_start))"
    stage_name=$1
    stage_start=$SECONDS
    [ -z "$1" ] || echo "=== $1 ==="
}

# Configures, builds and tests one build folder; adds its counts to the totals.
run_build() {
    local folder=$1
    shift
    stage "${folder}"
    if ! cmake -S . -B "${folder}" -G Ninja "$@" || ! cmake --build "${folder}"; then
        fail "build ${folder}"
        return
    fi
    local log="${folder}/ctest.log"
    ctest --test-dir "${folder}" --timeout 300 --output-on-failure 2>&1 | tee "${log}"
    local ctest_status=${PIPESTATUS[0]}
    local summary
    summary=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "${log}" | tail -1)
    if [ -z "${summary}" ]; then
        fail "no test summary from ${folder}"
        return
    fi
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"${summary}")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"${summary}")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    if [ "${bad}" -gt 0 ]; then
        status=1
    elif [ "${ctest_status}" -ne 0 ]; then
        fail "ctest in ${folder} exited ${ctest_status}"
    fi
}

run_build build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALIS_BUILD_TESTS=ON -DCORVALIS_BUILD_BENCH=ON
stage lint
if bash scripts/lint.sh build/native; then
    passed=$((passed + 1))
else
    fail lint
fi
run_build build/asan -DCMAKE_BUILD_TYPE=Debug -DCORVALIS_SANITIZE=ON
rm -f build/mingw/wine-prefix.restarts
run_build build/mingw -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCORVALIS_NATIVE_CONTROL_SERVER="$PWD/build/native/tools/control-server/corvalis-control-server"
if [ -s build/mingw/wine-prefix.restarts ]; then
    echo "Wine failed to start these test programs, and each was started again:"
    sort build/mingw/wine-prefix.restarts | uniq -c
fi

# Every benchmark once, in its short mode and on the programs built above, each counted as one
# test: one that no longer runs, or whose exchanges fail, fails. Their figures are printed, never
# judged: speed is for the full runs on a quiet machine.
run_benchmark() {
    if BENCH_SHORT=1 BENCH_BUILT=build/native timeout -k 10 300 bash "$@"; then
        passed=$((passed + 1))
    else
        fail "benchmark $*"
    fi
}
stage benchmarks
run_benchmark bench/server/run.sh
run_benchmark bench/server/big_table.sh
run_benchmark bench/startup/run.sh
run_benchmark bench/win32/run.sh build/mingw/src/win32/Corvalis.exe build/native/src/qt/corvalis

# The release itself, counted as one test: what the zip and the client's package hold, both
# packages under lintian, and the MSI installed, upgraded and removed under Wine.
stage packages
if bash scripts/package.sh && bash tests/packaging/check-packages.sh &&
    bash tests/packaging/check-msi.sh; then
    passed=$((passed + 1))
else
    fail packages
fi

# Each libFuzzer target of tests/fuzz on a scratch copy of its committed corpus, under ASan and UBSan;
# a crash, a failed property or a leak fails the run and leaves its input in build/fuzz/crashes/.
run_fuzz() {
    stage fuzz
    if ! command -v clang++ >/dev/null; then
        echo "fuzz: no clang++, skipped"
        return
    fi
    if ! CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVALIS_FUZZ=ON -DCORVALIS_BUILD_TESTS=OFF -DCORVALIS_BUILD_QT=OFF \
        -DCORVALIS_BUILD_WIN32=OFF -DCORVALIS_BUILD_TOOLS=OFF || ! cmake --build build/fuzz; then
        fail "build build/fuzz"
        return
    fi
    mkdir -p build/fuzz/crashes build/fuzz/scratch
    # One target a core at a time; each is reported once it ends, in the order they started.
    local corpus name index names=() pids=()
    for corpus in tests/fuzz/corpus/*/; do
        name=$(basename "${corpus}")
        rm -rf "build/fuzz/scratch/${name}"
        cp -r "${corpus}" "build/fuzz/scratch/${name}"
        "build/fuzz/tests/fuzz/fuzz_${name}" -max_total_time=20 \
            -artifact_prefix="build/fuzz/crashes/${name}-" "build/fuzz/scratch/${name}" \
            >"build/fuzz/${name}.log" 2>&1 &
        names+=("${name}")
        pids+=("$!")
        if [ "${#pids[@]}" -ge "$(nproc)" ]; then
            report_fuzz "${names[0]}" "${pids[0]}"
            names=("${names[@]:1}")
            pids=("${pids[@]:1}")
        fi
    done
    for index in "${!pids[@]}"; do
        report_fuzz "${names[index]}" "${pids[index]}"
    done
}
report_fuzz() {
    if wait "$2"; then
        echo "fuzz $1: $(grep -E '^Done [0-9]+ runs' "build/fuzz/$1.log")"
        passed=$((passed + 1))
    else
        tail -40 "build/fuzz/$1.log"
        fail "fuzz $1"
    fi
}
run_fuzz

stage ""
echo "stage times (s):${stage_times}"
echo "total: ${passed} passed, ${failed} failed"
exit "${status}"
