# Sourced by the script tests that need the module's default address 192.168.77.1.
# rzl_in_private_netns CMD...: runs CMD inside a network namespace of its own, where only
# loopback and a veth pair carrying 192.168.77.1/24 exist. Nothing leaves that namespace.
# Exits 77 (skipped) when this machine cannot make one.

rzl_in_private_netns() {
  rzl_need_netns ip
  rzl_in_veth_netns 192.168.77.1/24 : "$@"
}

# rzl_need_netns TOOL...: exits 77 (skipped) unless unshare and the TOOLs are there and this
# machine can make a network namespace.
rzl_need_netns() {
  local tool
  for tool in unshare "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool (util-linux, iproute2) not available" >&2; exit 77; }
  done
  if ! unshare -n true 2>/dev/null; then
    echo "SKIP: cannot create a network namespace here (needs root or user namespaces)" >&2
    exit 77
  fi
}

# rzl_in_veth_netns ADDRESS SETUP CMD...: CMD inside a new namespace with loopback and a veth
# pair rzl0/rzl1, ADDRESS on rzl0, after the shell command SETUP.
rzl_in_veth_netns() {
  unshare -n bash -c '
    set -e
    ip link set lo up
    ip link add rzl0 type veth peer name rzl1
    ip addr add "$1" dev rzl0
    ip link set rzl0 up
    ip link set rzl1 up
    eval "$2"
    shift 2
    exec "$@"
  ' rzl-netns "$@"
}

# rzl_start_sim BIN_DIR ARGS...: starts BIN_DIR/rzl-sim in the background, waits for its
# listening line and sets RZL_SIM_PID and RZL_SIM_PORT (the port it listens on, also when
# --listen asked for port 0). Fails after 10 s.
rzl_start_sim() {
  local build=$1; shift
  local out
  out=$(mktemp)
  "$build/rzl-sim" "$@" >"$out" 2>&1 &
  RZL_SIM_PID=$!
  for _ in $(seq 100); do
    RZL_SIM_PORT=$(sed -n 's/^rzl-sim listening on .*:\([0-9][0-9]*\)$/\1/p' "$out")
    [ -n "$RZL_SIM_PORT" ] && { rm -f "$out"; return 0; }
    sleep 0.1
  done
  echo "rzl-sim did not start:" >&2
  cat "$out" >&2
  rm -f "$out"
  return 1
}

# rzl_in_shaped_loopback_netns RATE BURST MTU LATENCY CMD...: runs CMD inside a network namespace
# of its own whose loopback is a token bucket of RATE with a BURST-byte bucket. tbf drops for good
# any packet larger than its bucket (link header included), so the MTU is lowered to fit it.
# Exits 77 (skipped) where no such namespace can be made.
rzl_in_shaped_loopback_netns() {
  rzl_need_netns ip tc
  unshare -n bash -c '
    rate=$1 burst=$2 mtu=$3 latency=$4
    shift 4
    ip link set lo up && ip link set lo mtu "$mtu" || exit 1
    tc qdisc add dev lo root tbf rate "$rate" burst "$burst" latency "$latency" || { echo "SKIP: no tbf queueing here" >&2; exit 77; }
    exec "$@"
  ' rzl-netns "$@"
}

# rzl_in_slow_loopback_netns CMD...: loopback slowed as a weak Wi-Fi link would be: 12 kbit/s with
# a 120-byte bucket makes every TCP handshake take about 20 ms, longer than one 10 ms wait slice.
# The 100-byte MTU keeps every packet below the bucket and brings a 198-byte reply in pieces.
rzl_in_slow_loopback_netns() {
  rzl_in_shaped_loopback_netns 12kbit 120 100 2s "$@"
}

# rzl_run_netns_driver DRIVER VAR: runs a GoogleTest program made for the namespace, with VAR=1
# telling it that it is there. Inside the namespace a skipped case is a failure: it would mean
# the setup is not what the case checks.
rzl_run_netns_driver() {
  local driver=$1 var=$2 out
  [ -x "$driver" ] || { echo "missing $driver" >&2; return 1; }
  out=$(env "$var=1" "$driver" 2>&1) || { echo "$out"; return 1; }
  echo "$out"
  if grep -q '\[  SKIPPED \]' <<<"$out"; then echo "a case was skipped inside the namespace" >&2; return 1; fi
}

# rzl_enter_netns MAKER CMD...: unless this already runs inside the test's namespace, runs CMD
# inside the one MAKER makes (rzl_in_private_netns, rzl_in_slow_loopback_netns) and exits with
# its status.
rzl_enter_netns() {
  [ "${RZL_IN_NETNS:-}" = 1 ] && return 0
  export RZL_IN_NETNS=1
  "$@"
  exit $?
}

# rzl_in_unreachable_module_netns CMD...: runs CMD inside a network namespace of its own where
# 192.168.77.1 lies on the Wi-Fi-like link rzl0 (this side 192.168.77.2/24) but no one answers
# for it: its neighbour entry names a hardware address nobody has, so every packet to it is lost
# and a connect waits its whole deadline. Adding 192.168.77.1/32 to loopback makes it reachable
# again. Exits 77 (skipped) where no such namespace can be made.
rzl_in_unreachable_module_netns() {
  rzl_need_netns ip
  rzl_in_veth_netns 192.168.77.2/24 \
    'ip neigh replace 192.168.77.1 lladdr 02:00:5e:00:00:01 dev rzl0 nud permanent' "$@"
}
