#!/usr/bin/env bash
# Configures and builds everything into ./build (or $RZL_BUILD_DIR).
# Uses ccache when it is installed (paths relative to the tree, so checkouts share it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RZL_BUILD_DIR:-$root/build}
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# RZL_WERROR=ON turns warnings into errors (CI sets it); extra arguments go to CMake.
# RZL_TARGETS="a b" builds only those targets (and what they need) instead of everything.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRZL_WERROR="${RZL_WERROR:-OFF}" \
  "${launcher[@]}" "$@" >/dev/null
targets=()
for target in ${RZL_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
