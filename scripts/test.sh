#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
# The tests, without the benchmarks (bench/run builds those).
"$root/scripts/build.sh" -DRZL_BUILD_TESTS=ON -DRZL_BUILD_BENCHES=OFF
build=${RZL_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen
cd "$build"
# Most tests wait on sockets and clocks rather than use the processor: two per core halve the time.
ctest --output-on-failure --parallel "$((2 * $(nproc)))" --timeout 300
