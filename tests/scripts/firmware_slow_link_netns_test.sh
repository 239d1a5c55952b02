#!/usr/bin/env bash
# A 2 MiB firmware image over a link of 2 Mbit/s, as a weak Wi-Fi link would carry it: the last
# write returns long before the module has the image (this PC's send buffer holds most of it),
# and the checksum query must not leave until the module has acknowledged every byte, or it
# answers with the sum of a part. Runs in a network namespace of its own whose loopback is
# shaped; exits 77 (skipped) where none can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

# 2 Mbit/s, as a weak Wi-Fi link carries a stream: packets of 1500 bytes in a 4000-byte bucket.
shaped() { rzl_in_shaped_loopback_netns 2mbit 4000 1500 10s "$@"; }
rzl_enter_netns shaped bash "$0" "$build"

work=$(mktemp -d)
rzl_start_sim "$build" --listen 127.0.0.1:0
trap 'kill $RZL_SIM_PID 2>/dev/null || true; rm -rf "$work"' EXIT
head -c 2097152 /dev/urandom >"$work/image.bin"

start=$SECONDS
status=0
out=$("$build/rzlctl" --no-link-check --device "127.0.0.1:$RZL_SIM_PORT" --yes --json firmware "$work/image.bin" 2>&1) || status=$?
echo "$out" | grep -v '^firmware: [0-9]* %$' || true
echo "took $((SECONDS - start)) s, exit $status"
[ "$status" -eq 0 ] || { echo "the module's checksum did not match: the query overtook the image" >&2; exit 1; }
# The progress (on standard error) reaches 100 % only with the last acknowledgement, so it is
# the last progress line.
last=$(grep '^firmware: [0-9]* %$' <<<"$out" | tail -n 1)
[ "$last" = "firmware: 100 %" ] || { echo "progress did not end at 100 %: $last" >&2; exit 1; }
