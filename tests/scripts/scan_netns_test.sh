#!/usr/bin/env bash
# rzlctl scan inside a private network namespace made for this test: a range, and with no
# range the networks of the namespace's adapters (loopback left out, a /20 narrowed to its /22).
# Modules at 10.9.0.5 and 10.9.0.7, a silent one at 10.9.0.9; nothing leaves the namespace.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

rzl_enter_netns rzl_in_private_netns bash "$0" "$build"

# The helper's rzl0 carries 192.168.77.1/24. Add 10.9.0.1/24 on a second pair and 10.20.5.9/20
# on a third; the modules listen on loopback aliases inside the 10.9.0.0/24 network.
ip link add rzl2 type veth peer name rzl3
ip addr add 10.9.0.1/24 dev rzl2
ip link add rzl4 type veth peer name rzl5
ip addr add 10.20.5.9/20 dev rzl4
for dev in rzl2 rzl3 rzl4 rzl5; do ip link set "$dev" up; done
for host in 5 7 9; do ip addr add "10.9.0.$host/32" dev lo; done

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
rzl_start_sim "$build" --listen 10.9.0.5:13577 && pids+=("$RZL_SIM_PID")
rzl_start_sim "$build" --listen 10.9.0.7:13577 --model 178 && pids+=("$RZL_SIM_PID")
rzl_start_sim "$build" --listen 10.9.0.9:13577 --fault silent && pids+=("$RZL_SIM_PID")

fail() { echo "FAIL: $*" >&2; exit 1; }

out=$("$build/rzlctl" scan 10.9.0.0/24 --timeout-ms 300)
echo "$out"
[ "$(echo "$out" | wc -l)" = 2 ] || fail "two modules expected"
echo "$out" | head -1 | grep -q '^10\.9\.0\.5 .*rZL-K110 Tiny I/O Controller' || fail "10.9.0.5 first"
echo "$out" | tail -1 | grep -q '^10\.9\.0\.7 .*rZL-K140 Tiny I/O Controller' || fail "10.9.0.7 second"

err=$(mktemp)
out=$("$build/rzlctl" --json scan --timeout-ms 200 2>"$err")
cat "$err"
echo "$out"
grep -q 'rzl4: its network /20 is wider than /22; scanning 10.20.4.0/22' "$err" || fail "narrowing not reported"
echo "$out" | grep -q '"ranges":\["192.168.77.0/24","10.9.0.0/24","10.20.4.0/22"\]' || fail "ranges"
echo "$out" | grep -q '"rangeSize":1530' && echo "$out" | grep -q '"tried":1530' || fail "address count"
echo "$out" | grep -q '"address":"10.9.0.5"' || fail "10.9.0.5 missing"
echo "$out" | grep -q '"address":"10.9.0.7"' || fail "10.9.0.7 missing"
rm -f "$err"

# None answering: exit 3.
set +e
"$build/rzlctl" scan 10.9.0.16/28 --timeout-ms 200 >/dev/null 2>&1
code=$?
set -e
[ "$code" = 3 ] || fail "exit $code with no module, 3 expected"
echo "scan in a private namespace: passed"
