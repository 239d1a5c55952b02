#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into ./build-fuzz (or $RZL_FUZZ_BUILD_DIR)
# and runs each for a bounded time, starting from its seeds in tests/fuzz/corpus/<target>/.
# Fails on any crash, leak, undefined behaviour, slow input or broken invariant; the input that
# did it is left in build-fuzz/artifacts/.
#
#   scripts/fuzz.sh               60 s per target (what CI runs)
#   scripts/fuzz.sh --long        an hour per target
#   scripts/fuzz.sh --seconds N [TARGET...]
#
# New inputs the fuzzer finds go to build-fuzz/corpus/<target>/, not into the tree; copy one
# into tests/fuzz/corpus/<target>/ when it guards a fix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RZL_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=60
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --long) seconds=3600 ;;
    --seconds) seconds=$2; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done

"$root/scripts/install-deps.sh" fuzz
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DRZL_FUZZ=ON -DRZL_BUILD_GUI=OFF -DRZL_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
grep -q '^RZL_FUZZ_SUPPORTED:INTERNAL=1' "$build/CMakeCache.txt" || {
  echo "fuzz: clang++ cannot build libFuzzer targets here" >&2
  exit 1
}
cmake --build "$build" --parallel "$(nproc)"

if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/tests/fuzz/*_fuzzer.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "fuzz: $target for ${seconds}s"
  # The first folder takes what the run finds; the tree's seeds are only read.
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$work" "$root/tests/fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
    tail -n 60 "$build/$target.log" >&2
    failed+=("$target")
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$build/$target.log" | tr '\n' ' '
    echo
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]} (inputs in $build/artifacts/, logs in $build/*.log)" >&2
  exit 1
fi
echo "fuzz: all targets ran ${seconds}s without a finding"
