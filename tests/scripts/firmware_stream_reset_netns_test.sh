#!/usr/bin/env bash
# The firmware image stream reset halfway, in a network namespace of its own whose socket
# buffers are small enough that the sender is still writing when the reset comes. Nothing but
# loopback exists there. Exits 77 (skipped) where no namespace can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
driver="$build/tests/firmware_stream_reset_netns_test"
[ -x "$driver" ] || { echo "missing $driver" >&2; exit 1; }
if ! command -v unshare >/dev/null || ! command -v ip >/dev/null || ! unshare -n true 2>/dev/null; then
  echo "SKIP: cannot create a network namespace here" >&2
  exit 77
fi
out=$(unshare -n bash -c '
  set -e
  ip link set lo up
  sysctl -q -w net.ipv4.tcp_wmem="4096 16384 65536" net.ipv4.tcp_rmem="4096 16384 65536"
  RZL_NETNS_E2E=1 QT_QPA_PLATFORM=offscreen "$1"
' rzl-netns "$driver" 2>&1) || { echo "$out"; exit 1; }
echo "$out"
if grep -q '\[  SKIPPED \]' <<<"$out"; then echo "skipped inside the namespace" >&2; exit 1; fi
