#!/usr/bin/env bash
# The platform layer's test programs as built for Linux, against rzl-sim on loopback; the same
# programs built for Windows run under Wine in scripts/windows/test-platform.sh.
set -u
build=${1:?build directory}
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -x "$build/rzl-sim" ] || { echo "rzl-sim not built"; exit 77; }
# shellcheck source=tests/scripts/platform_run_lib.sh
source "$root/tests/scripts/platform_run_lib.sh"
work=$(mktemp -d)
trap 'platform_stop_sims; rm -rf "$work"' EXIT
platform_run_tests "$build/rzl-sim" "$build/platform/tests" "$work"
