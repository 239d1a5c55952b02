#!/usr/bin/env bash
# Cross-builds the platform layer and its tests for Windows with MinGW-w64 (no Qt needed) into
# .exe files, then runs them under Wine (a fresh prefix in a temporary folder) against the Linux
# rzl-sim on loopback. Installs the cross compiler and Wine first (scripts/install-deps.sh
# windows); skips (exit 77) only when they still cannot be had, or script(1) is missing.
# Build folder: build-windows-platform (or $RZL_WINDOWS_PLATFORM_BUILD); rzl-sim comes from the
# Linux build (build, or $RZL_BUILD_DIR), built first when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${RZL_WINDOWS_PLATFORM_BUILD:-$root/build-windows-platform}
linux_build=${RZL_BUILD_DIR:-$root/build}
start=$SECONDS

skip() {
    echo "test-platform: skipped: $*"
    exit 77
}
"$root/scripts/install-deps.sh" windows || echo "test-platform: the cross compiler and Wine could not be installed" >&2
command -v x86_64-w64-mingw32-g++-posix >/dev/null || skip "no MinGW-w64 cross compiler (g++-mingw-w64-x86-64)"
# shellcheck source=wine_env.sh
source "$root/scripts/windows/wine_env.sh"
find_wine || skip "no Wine (wine64)"
command -v script >/dev/null || skip "no script(1) to give the programs a terminal (bsdutils)"

launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DRZL_PLATFORM_ONLY=ON -DRZL_WERROR="${RZL_WERROR:-OFF}" "${launcher[@]}" >/dev/null
cmake --build "$build" --parallel "${RZL_JOBS:-$(nproc)}"
echo "test-platform: cross-built in $((SECONDS - start)) s"

if [ ! -x "$linux_build/rzl-sim" ]; then
    cmake -S "$root" -B "$linux_build" -G Ninja >/dev/null
    cmake --build "$linux_build" --target rzl-sim
fi

# shellcheck source=tests/scripts/platform_run_lib.sh
source "$root/tests/scripts/platform_run_lib.sh"
work=$(mktemp -d)
cleanup() {
    platform_stop_sims
    wine_stop
    rm -rf "$work"
}
trap cleanup EXIT
wine_fresh_prefix "$work/prefix"  # before the clocks start
echo "test-platform: Wine prefix ready at $((SECONDS - start)) s"
# Each program in a console; its output goes to a file, shown after.
run_in_wine() {
    local log=$work/${1##*/}.log code=0
    wine_in_console "$log" "$1" || code=$?
    cat "$log"
    return "$code"
}
status=0
platform_run_tests "$linux_build/rzl-sim" "$build/platform/tests" "$work" run_in_wine || status=$?
# Once more without Native Wi-Fi's library, as on Windows Server without its Wireless LAN
# feature: the program starts all the same and finds no Wi-Fi service.
echo "== platform_host_network_test.exe without wlanapi.dll"
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wlanapi=d" RZL_WLANAPI_MISSING=1 \
    run_in_wine "$build/platform/tests/platform_host_network_test.exe" </dev/null || status=1
echo "test-platform: done in $((SECONDS - start)) s"
exit "$status"
