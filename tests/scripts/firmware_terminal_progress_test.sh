#!/usr/bin/env bash
# rzlctl firmware on a terminal: the progress bar is redrawn in place, and when the stream fails
# the bar's line is ended before the error, so the error starts a line of its own.
# A small peer plays the module: it answers identify and the firmware header, then takes the
# image slowly through a small receive buffer and resets the connection a quarter of the way in.
set -u
build=${1:?build directory}
rzlctl=$build/rzlctl
[ -x "$rzlctl" ] || { echo "rzlctl not built"; exit 77; }
command -v python3 >/dev/null || { echo "python3 missing"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 1048576 /dev/zero | tr '\0' '\132' >"$work/image.bin"

python3 - "$rzlctl" "$work/image.bin" <<'PY'
import os, pty, select, socket, struct, sys, threading, time

rzlctl, image = sys.argv[1], sys.argv[2]
sig = bytes.fromhex("5A3577A5")

def identify_reply():
    r = bytearray(198)
    r[0:4] = sig
    r[4], r[5], r[6] = 0x21, 6, 176          # identify, accepted, model 176
    r[7:11] = bytes([1, 0, 0, 127])           # reports 127.0.0.1
    return bytes(r)

listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)  # acknowledgements follow reads
listener.bind(("127.0.0.1", 0))
listener.listen(4)
port = listener.getsockname()[1]

def read_exactly(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            break
        data += chunk
    return data

def module():
    conn, _ = listener.accept()                     # identify
    assert read_exactly(conn, 7)[4] == 0x21
    conn.sendall(identify_reply()); conn.close()
    conn, _ = listener.accept()                     # firmware header
    assert read_exactly(conn, 40)[4] == 0x5F
    conn.sendall(sig + bytes([0x5F, 6])); conn.close()
    conn, _ = listener.accept()                     # the image, slowly, then a reset
    taken = 0
    while taken < 262144:
        taken += len(conn.recv(8192))
        time.sleep(0.01)
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    conn.close()

threading.Thread(target=module, daemon=True).start()

pid, master = pty.fork()
if pid == 0:
    os.execv(rzlctl, [rzlctl, "--no-link-check", f"--device=127.0.0.1:{port}", "--yes", "firmware", image])
out = b""
deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    ready, _, _ = select.select([master], [], [], 0.5)
    if not ready:
        continue
    try:
        chunk = os.read(master, 4096)
    except OSError:
        break
    if not chunk:
        break
    out += chunk
_, status = os.waitpid(pid, 0)
text = out.decode("utf-8", "replace")
code = os.waitstatus_to_exitcode(status)
print(text)
assert code == 2, f"exit {code}"
assert "\r[#" in text and "%  " in text, "no progress bar"
last_bar = text.rfind("\r[")
assert last_bar >= 0, "no progress bar"
bar_end = text.index("bytes", last_bar) + len("bytes")
after = text[bar_end:]
assert after.startswith("\r\n") or after.startswith("\n"), "the next message is glued to the bar: " + repr(after[:60])
assert "Error found!" in after and "rzlctl: the firmware update did not complete" in after, "no error after the bar"
assert "100 %" not in text[last_bar:bar_end], "a failed stream shown complete"
PY
code=$?
[ "$code" -eq 0 ] || { echo "FAIL"; exit 1; }
echo "ok"
