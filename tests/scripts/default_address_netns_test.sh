#!/usr/bin/env bash
# The program's core, given no address, identifies a module at the default 192.168.77.1:13577
# when the marker file is in its current directory. Runs inside a private network namespace
# made for this test; exits 77 (skipped) where none can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

if [ "${RZL_IN_NETNS:-}" != 1 ]; then
  export RZL_IN_NETNS=1
  rzl_in_private_netns bash "$0" "$build"
  exit $?
fi

driver="$build/tests/default_target_netns_test"
[ -x "$driver" ] || { echo "missing $driver" >&2; exit 1; }

rzl_start_sim "$build" --listen 192.168.77.1:13577
work=$(mktemp -d)
trap 'kill $RZL_SIM_PID 2>/dev/null || true; rm -rf "$work"' EXIT
echo "content that the first activation keeps" >"$work/rzl_dacr.cfg"
cd "$work"
out=$(RZL_NETNS_E2E=1 "$driver" 2>&1) || { echo "$out"; exit 1; }
echo "$out"
# Inside the namespace a skipped case is a failure: it would mean the setup is not what it checks.
if grep -q '\[  SKIPPED \]' <<<"$out"; then echo "a case was skipped inside the namespace" >&2; exit 1; fi
# Only the file's presence counts: it is kept as it was.
[ "$(cat rzl_dacr.cfg)" = "content that the first activation keeps" ]
