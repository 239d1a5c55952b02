#!/usr/bin/env bash
# The program's core, given no address, identifies a module at the default 192.168.77.1:13577
# when the marker file is in its current directory. Runs inside a private network namespace
# made for this test; exits 77 (skipped) where none can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

rzl_enter_netns rzl_in_private_netns bash "$0" "$build"

driver="$build/tests/default_target_netns_test"

rzl_start_sim "$build" --listen 192.168.77.1:13577
work=$(mktemp -d)
trap 'kill $RZL_SIM_PID 2>/dev/null || true; rm -rf "$work"' EXIT
echo "content that the first activation keeps" >"$work/rzl_dacr.cfg"
cd "$work"
rzl_run_netns_driver "$driver" RZL_NETNS_E2E
# Only the file's presence counts: it is kept as it was.
[ "$(cat rzl_dacr.cfg)" = "content that the first activation keeps" ]
