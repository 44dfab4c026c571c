#!/usr/bin/env bash
# Builds the client and the reference control server, then runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALIS_BUILD_TESTS=OFF
cmake --build build/native
exec scripts/demo.sh
