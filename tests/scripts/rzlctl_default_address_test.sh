#!/usr/bin/env bash
# rzlctl with no --device finds a module at the default 192.168.77.1:13577, inside a private
# network namespace made for this test.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

rzl_enter_netns rzl_in_private_netns bash "$0" "$build"

rzl_start_sim "$build" --listen 192.168.77.1:13577
trap 'kill $RZL_SIM_PID 2>/dev/null || true' EXIT
out=$("$build/rzlctl" --no-link-check --json identify)
echo "$out"
echo "$out" | grep -q '"model":"rZL-K110 Tiny I/O Controller"'
echo "$out" | grep -q '"address":"192.168.77.1"'
echo "1 passed, 0 failed"
