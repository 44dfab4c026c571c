#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build, the same build under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows build under Wine, and the release packages.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

export CTEST_OUTPUT_ON_FAILURE=1
passed=0
failed=0
status=0

# Configures, builds and tests one build folder; adds its counts to the totals.
run_build() {
    local folder=$1
    shift
    echo "=== ${folder} ==="
    if ! cmake -S . -B "${folder}" -G Ninja "$@" || ! cmake --build "${folder}"; then
        echo "build failed: ${folder}"
        status=1
        return
    fi
    local log="${folder}/ctest.log"
    ctest --test-dir "${folder}" --timeout 300 2>&1 | tee "${log}"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    local summary
    summary=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "${log}" | tail -1)
    if [ -z "${summary}" ]; then
        echo "no test summary: ${folder}"
        status=1
        return
    fi
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"${summary}")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"${summary}")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

run_build build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALIS_BUILD_BENCH=ON
echo "=== lint ==="
bash scripts/lint.sh build/native || status=1
run_build build/asan -DCMAKE_BUILD_TYPE=Debug -DCORVALIS_SANITIZE=ON
run_build build/mingw -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCORVALIS_NATIVE_CONTROL_SERVER="$PWD/build/native/tools/control-server/corvalis-control-server"

# The release itself, counted as one test: its zip under Wine and both packages under lintian.
echo "=== packages ==="
if bash scripts/package.sh && bash tests/packaging/check-packages.sh build/mingw/wine-prefix; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    status=1
fi

echo "total: ${passed} passed, ${failed} failed"
exit "${status}"
