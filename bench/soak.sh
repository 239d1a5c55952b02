#!/usr/bin/env bash
# A long run of the core against the in-process module (bench/soak_bench.cpp), under
# LeakSanitizer (the sanitizer build, build-asan) or valgrind (the normal build). Not run by CI.
#
#   bench/soak.sh [SECONDS] [--valgrind]     default: an hour under LeakSanitizer
#
# Prints RSS at the start and the end, the exchanges done and the failures; fails on any
# failed exchange, leak or memory error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=3600
valgrind=0
for arg in "$@"; do
  case "$arg" in
    --valgrind) valgrind=1 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) seconds=$arg ;;
  esac
done

# The program reads the link-check marker file from its working directory: give it an empty one.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if [ "$valgrind" = 1 ]; then
  RZL_TARGETS=soak_bench "$root/scripts/build.sh" -DRZL_BUILD_TESTS=ON -DRZL_BUILD_BENCHES=ON
  exec valgrind --quiet --leak-check=full --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --error-exitcode=3 "${RZL_BUILD_DIR:-$root/build}/bench/soak_bench" "$seconds"
fi
"$root/scripts/sanitize.sh" --build-only
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
exec "${RZL_ASAN_BUILD_DIR:-$root/build-asan}/bench/soak_bench" "$seconds"
