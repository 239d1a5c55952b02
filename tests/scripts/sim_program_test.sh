#!/usr/bin/env bash
# Starts the rzl-sim program on a free loopback port, asks it to identify itself, and checks
# the reply and the handling of bad options.
set -u
build=${1:?build directory}
sim=$build/rzl-sim
[ -x "$sim" ] || { echo "rzl-sim not built"; exit 77; }
command -v python3 >/dev/null || { echo "python3 missing"; exit 77; }

work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/err" ] && cat "$work/err"; exit 1; }

# Bad options: the problem and a hint to --help on stderr (not the whole usage), exit 1.
for bad in "--bogus" "--model 300" "--listen nowhere" "--fault sometimes" "--inputs DI9:100" "--model"; do
    # shellcheck disable=SC2086
    "$sim" $bad >"$work/out" 2>"$work/usage"
    code=$?
    [ "$code" -eq 1 ] || fail "'$bad' exited with $code"
    grep -q "^rzl-sim: " "$work/usage" || fail "'$bad' printed no problem"
    grep -q "^Try 'rzl-sim --help'" "$work/usage" || fail "'$bad' printed no hint"
    [ "$(wc -l <"$work/usage")" -eq 2 ] || fail "'$bad' printed more than the problem and the hint"
done
"$sim" --help | grep -q -- "--inputs PATTERN" || fail "--help"
"$sim" --version | grep -qx "rzl-sim [0-9][0-9.]*" || fail "--version"

"$sim" --listen 127.0.0.1:0 --model 178 --address 192.168.77.5 --state "$work/state.json" \
    >"$work/out" 2>"$work/err" &
pid=$!
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^rzl-sim listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/out")
    [ -n "$port" ] && break
    kill -0 "$pid" 2>/dev/null || fail "rzl-sim ended early"
    sleep 0.05
done
[ -n "$port" ] || fail "no port announced"

python3 - "$port" <<'PY' || fail "identify"
import socket, sys
port = int(sys.argv[1])
def exchange(frame):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(frame)
        reply = b""
        while True:
            chunk = s.recv(4096)
            if not chunk:
                return reply
            reply += chunk
sig = bytes.fromhex("5A3577A5")
r = exchange(sig + bytes([0x21, 0, 0]))
assert len(r) == 198, len(r)
assert r[:6] == sig + bytes([0x21, 6]), r[:6].hex()
assert r[6] == 178, r[6]
assert r[7:11] == bytes([5, 77, 168, 192]), r[7:11].hex()
r = exchange(sig + bytes([0xD0, 6, 1]))
assert r == sig + bytes([0xD0, 6, 0x20, 0]), r.hex()
PY

# SIGTERM ends it cleanly, with the switched output kept in the state file.
kill "$pid"
wait "$pid"
code=$?
pid=""
[ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
grep -q '"doBits": 32' "$work/state.json" || fail "state file lacks the output"

# With --boot-ms, a reboot takes the module away: connections are refused until it is back.
"$sim" --listen 127.0.0.1:0 --boot-ms 1500 >"$work/out" 2>"$work/err" &
pid=$!
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^rzl-sim listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/out")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || fail "no port announced with --boot-ms"
python3 - "$port" <<'PY' || fail "--boot-ms"
import socket, sys, time
port = int(sys.argv[1])
sig = bytes.fromhex("5A3577A5")
with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
    s.sendall(sig + bytes([0x2D]))
    assert s.recv(16)[:6] == sig + bytes([0x2D, 6])
rebooted = time.monotonic()
time.sleep(0.3)
try:
    socket.create_connection(("127.0.0.1", port), timeout=1).close()
    raise SystemExit("answered while restarting")
except ConnectionRefusedError:
    pass
while time.monotonic() - rebooted < 5:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
            s.sendall(sig + bytes([0x21, 0, 0]))
            assert s.recv(4096)[:6] == sig + bytes([0x21, 6])
        break
    except ConnectionRefusedError:
        time.sleep(0.1)
away = time.monotonic() - rebooted
assert 1.4 < away < 3, away
PY
echo "ok"
