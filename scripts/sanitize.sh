#!/usr/bin/env bash
# Builds everything with AddressSanitizer + UndefinedBehaviorSanitizer into ./build-asan (or
# $RZL_ASAN_BUILD_DIR) and runs the whole CTest suite there: any memory error, undefined
# behaviour or leak fails the test it happens in. tests/lsan.supp lists the only leaks let pass
# (inside system libraries, each with its reason). --build-only: build, run nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RZL_ASAN_BUILD_DIR:-$root/build-asan}
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
RZL_BUILD_DIR=$build "$root/scripts/build.sh" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
[ "${1:-}" = --build-only ] && exit 0
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# Tests that take a program's file descriptors away skip themselves here: the sanitizers' own
# checks need descriptors of their own and report false errors without them.
export RZL_SANITIZERS=1
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
