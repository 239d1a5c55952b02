#!/usr/bin/env bash
# Exchanges over a slowed link, where a handshake takes longer than one wait slice and replies
# come in pieces: the program's core and rzlctl reach the module all the same. Runs inside a
# private network namespace made for this test; exits 77 (skipped) where none can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

rzl_enter_netns rzl_in_slow_loopback_netns bash "$0" "$build"

rzl_start_sim "$build" --listen 127.0.0.1:13577
trap 'kill $RZL_SIM_PID 2>/dev/null || true' EXIT
rzl_run_netns_driver "$build/tests/slow_link_netns_test" RZL_SLOW_LINK_E2E

out=$("$build/rzlctl" --no-link-check --device 127.0.0.1:13577 --json status)
echo "$out"
grep -q '"command":"status"' <<<"$out"
