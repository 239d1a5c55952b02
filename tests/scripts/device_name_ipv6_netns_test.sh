#!/usr/bin/env bash
# rzlctl --device NAME where the name's answers include IPv6 ones: the first IPv4 address is used
# even when an IPv6 one comes first, and a name with IPv6 answers only is refused as having no
# IPv4 address. The names come from a hosts file of this test's own, bound over /etc/hosts in a
# mount and network namespace made for it (only loopback there); exits 77 (skipped) where none
# can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${RZL_IN_NETNS:-}" != 1 ]; then
  rzl_need_netns ip mount
  unshare -m -n true 2>/dev/null || { echo "SKIP: cannot create a mount namespace here" >&2; exit 77; }
  export RZL_IN_NETNS=1
  exec unshare -m -n bash "$0" "$build"
fi

# Only the namespace's own mounts change: unshare made their propagation private.
ip link set lo up
etc=$(mktemp -d)
trap 'kill "${RZL_SIM_PID:-}" 2>/dev/null || true; rm -rf "$etc"' EXIT
printf '%s\n' '::1 six.rzl.test dual.rzl.test' '127.0.0.1 dual.rzl.test' >"$etc/hosts"
echo 'hosts: files' >"$etc/nsswitch.conf"
: >"$etc/gai.conf"  # the standard order of answers, whatever this machine prefers
mount --bind "$etc/hosts" /etc/hosts
for file in nsswitch.conf gai.conf; do
  if [ -e "/etc/$file" ]; then mount --bind "$etc/$file" "/etc/$file"; fi
done
# The case is only shown when the resolver gives the IPv6 answer first.
first=$(getent ahosts dual.rzl.test | awk 'NR == 1 { print $1 }')
[ "$first" = ::1 ] || fail "the resolver here gives $first first for dual.rzl.test, not ::1"

rzl_start_sim "$build" --listen 127.0.0.1:0

# name | exit | what standard error says
while IFS='|' read -r name code said; do
  set +e
  err=$("$build/rzlctl" --no-link-check --device "$name:$RZL_SIM_PORT" identify 2>&1 >/dev/null)
  got=$?
  set -e
  echo "$name: exit $got: $err"
  [ "$got" = "$code" ] || fail "$name: exit $got, not $code"
  grep -qF "$said" <<<"$err" || fail "$name: '$said' not said"
done <<'EOF'
dual.rzl.test|0|rzlctl: dual.rzl.test is 127.0.0.1
six.rzl.test|2|six.rzl.test has no IPv4 address
EOF
echo "2 passed, 0 failed"
