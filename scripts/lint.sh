#!/usr/bin/env bash
# The repository's one style and its static checks: clang-format on every C++ file, clang-tidy
# (.clang-tidy) on the product sources that a build folder compiles, cppcheck on every product source
# (the Windows front end too: cppcheck needs no system headers).
# usage: scripts/lint.sh BUILD_DIR   (a native build configured with CMAKE_EXPORT_COMPILE_COMMANDS)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:?usage: scripts/lint.sh BUILD_DIR}

# The repository's own C++ files, found without git so that a release tarball lints too.
cpp_files() {
    find src tools tests bench -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) | sort
}
product_sources() {
    cpp_files | grep -E '^(src|tools)/.*\.cpp$' | grep -v '/tests/'
}

status=0
mapfile -t all < <(cpp_files)
if ! clang-format --dry-run --Werror "${all[@]}"; then
    echo "lint: clang-format would change the files above" >&2
    status=1
fi

# Every product source the build compiles; tests and benchmarks follow the formatter only.
mapfile -t sources < <(product_sources |
    while read -r file; do
        grep -q "\"file\": \"$PWD/$file\"" "${build_dir}/compile_commands.json" && echo "$file"
    done)
if ! printf '%s\n' "${sources[@]}" |
    xargs -P "$(nproc)" -n 4 clang-tidy -p "${build_dir}" --quiet 2>/dev/null; then
    echo "lint: clang-tidy found the faults above" >&2
    status=1
fi

# normalCheckLevelMaxBranches is newer cppcheck's note that it analysed fewer branches, not a fault.
# useStlAlgorithm is left out: it would turn every plain push_back loop into std::transform with a
# back_inserter, which reads no better and finds no fault.
mapfile -t product < <(product_sources)
if ! cppcheck --std=c++20 --language=c++ --enable=warning,style,performance,portability \
    --library=qt --library=windows --suppress=useStlAlgorithm \
    --suppress=normalCheckLevelMaxBranches --inline-suppr --error-exitcode=1 \
    --quiet -j "$(nproc)" -I src/wire -I src/core -I "${build_dir}/src/core/generated" -I src/qt \
    -I src/win32 -I tools/control-server/src "${product[@]}"; then
    echo "lint: cppcheck found the faults above" >&2
    status=1
fi
exit "${status}"
