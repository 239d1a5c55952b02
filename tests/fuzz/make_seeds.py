#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target into tests/fuzz/corpus/<target>/: one valid
frame of each kind, in the input layout the target reads. Rerun after changing a layout."""
import json
import os
import struct

SIG = bytes([0x5A, 0x35, 0x77, 0xA5])
HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def reply(code, status, payload=b""):
    return SIG + bytes([code, status]) + payload


def identify_reply(model=176, address=(127, 0, 0, 1)):
    r = bytearray(198)
    r[0:4] = SIG
    r[4], r[5], r[6] = 33, 6, model
    r[7:11] = bytes(reversed(address))
    r[11:17] = bytes([0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E])
    r[24], r[25] = 1, 0x0A
    r[40:49] = b"Lab bench"
    r[80:91] = b"rZL-K110-AP"
    r[128:136] = b"Workshop"
    r[160], r[176], r[177], r[178] = 2, 1, 0x05, 0x03
    r[179:181] = struct.pack(">H", 502)
    r[181] = 1
    r[182:194] = bytes([10, 0, 0, 5, 255, 255, 255, 0, 10, 0, 0, 1])
    r[194:196] = struct.pack(">H", 0xFFC4)
    r[196:198] = struct.pack(">H", 120)
    return bytes(r)


# reply_fuzzer: [command kind][0: the same pending][model][reply]; kinds in the order of kPending.
replies = {
    "identify": identify_reply(),
    "poll": reply(216, 6, bytes([0x05, 0x03, 0xFF, 0xC4])),
    "output": reply(208, 6, bytes([0x01, 0x0F])),
    "counters": reply(96, 6, b"".join(struct.pack(">I", v) for v in (1, 2, 300, 70000, 0, 0, 0, 0xFFFFFFFF))),
    "clear": reply(97, 6),
    "locate": reply(29, 6),
    "delete": reply(93, 6),
    "checksum": reply(37, 6, struct.pack(">I", 0)),
    "reset": reply(94, 6),
    "web_key": reply(50, 6),
    "wifi_mode": reply(48, 6),
    "modbus_notice": reply(220, 6),
    "unasked": reply(216, 6, bytes([0x05, 0x03])),
}
for index, (name, data) in enumerate(replies.items()):
    write("reply_fuzzer", name, bytes([index, 0, 176]) + data)
write("reply_fuzzer", "identify_refused", bytes([0, 0, 176]) + reply(33, 21))
write("reply_fuzzer", "poll_while_output_queued", bytes([1, 192 + 2 * 2 + 1, 176]) + replies["poll"])
write("reply_fuzzer", "identify_refused_after_a_refused_send", bytes([0, 192 + 2 * 6, 176]) + reply(33, 21))


def request(code, payload=b"", length=None):
    frame = SIG + bytes([code]) + payload
    if length is not None:
        frame = frame.ljust(length, b"\0")
    return frame


def file_header(code, name, content, length=60):
    body = struct.pack(">II", len(content), sum(content) & 0xFFFFFFFF)
    frame = bytearray(request(code, body, length))
    frame[16] = len(name)
    frame[17:17 + len(name)] = name
    return bytes(frame)


def delete_frame(name):
    frame = bytearray(request(93, b"", 40))
    frame[16] = len(name)
    frame[17:17 + len(name)] = name
    return bytes(frame)


content = b"Office"
requests = {
    "locate": request(29, bytes([1, 0])),
    "identify": request(33, bytes([0, 0])),
    "checksum": request(37, bytes(4)),
    "activate": request(38, bytes(4)),
    "reboot": request(45),
    "wifi_mode": request(48, bytes([2])),
    "web_key": request(50, bytes([4]) + b"1234"),
    "firmware_header": file_header(90, b"/sys/mcuimg.bin", content, 40),
    "delete": delete_frame(b"/local/sta_ssid.cfg"),
    "reset": request(94, bytes([0])),
    "file_header": file_header(95, b"/local/sta_ssid.cfg", content),
    "file_header_short": file_header(95, b"/local/sta_ssid.cfg", content, 40),
    "counters": request(96, bytes([0, 0])),
    "clear": request(97, bytes([3])),
    "output": request(208, bytes([2, 1])),
    "poll": request(216),
    "modbus_notice": request(220),
    "unknown": request(99, bytes(3)),
}


def step(kind, data):
    return struct.pack(">H", kind << 14 | len(data)) + data


# sim_frame_fuzzer: [model] then steps.
for name, frame in requests.items():
    write("sim_frame_fuzzer", name, bytes([176]) + step(0, frame))
write("sim_frame_fuzzer", "refused_poll", bytes([176]) + step(1, request(216)))
name = b"/local/sta_ip.cfg"
write("sim_frame_fuzzer", "settings_then_reboot",
      bytes([176]) + step(2, bytes([len(name)]) + name + bytes([10, 0, 0, 5, 255, 255, 255, 0, 10, 0, 0, 1]))
      + step(0, request(45)) + step(0, request(33, bytes(2))))

# sim_server_fuzzer: connections, each [mode][length][bytes].
def connection(data, mode=1):
    return bytes([mode]) + struct.pack(">H", len(data)) + data


for name, frame in requests.items():
    write("sim_server_fuzzer", name, connection(frame))
write("sim_server_fuzzer", "upload",
      connection(file_header(95, b"/local/sta_ssid.cfg", content)) + connection(content, 0)
      + connection(request(45)) + connection(request(33, bytes(2))))
write("sim_server_fuzzer", "split_poll", connection(request(216), 3))

# parser_fuzzer: [parser][text]; parsers in the order of kParsers.
state = {
    "model": 176, "address": "127.0.0.1", "mac": "00:1a:2b:3c:4d:5e", "fwMajor": 1, "fwMinor": 10,
    "location": "Lab bench", "apSsid": "rZL-K110-AP", "apKey": "", "apKeyType": 0, "staSsid": "Workshop",
    "staKey": "", "staKeyType": 2, "wifiModeAp": True, "doBits": 5, "diBits": 3, "modbusPort": 502,
    "staticIp": False, "staIp": "0.0.0.0", "staNetmask": "255.255.255.0", "staGateway": "0.0.0.0",
    "rssi": 65476, "idleTimeout": 120, "webKey": "", "counters": [1, 2, 3, 4, 5, 6, 7, 4294967295],
    "files": {"/local/sta_ssid.cfg": "T2ZmaWNl", "/sys/mcuimg.bin": "AAEC"},
}
backup = {
    "format": "rzl-ctrl settings", "version": 1,
    "module": {"model": "K110", "modelCode": 176, "mac": "00:1a:2b:3c:4d:5e", "firmware": "1.10"},
    "ap": {"ssid": "rZL-K110-AP", "keyType": "wpa"},
    "station": {"ssid": "Workshop", "keyType": "wpa"},
    "staticIp": {"enabled": True, "ip": "10.0.0.5", "mask": "255.255.255.0", "gateway": "10.0.0.1"},
    "location": "Lab bench",
    "modbus": {"port": 502, "idleTimeout": 120},
    "wifiMode": "Station",
}
parsers = [
    ("address_text", 0, b"192.168.77.1"),
    ("address_field", 1, b"10.0.0.5"),
    ("device", 2, b"127.0.0.1:13577"),
    ("device_brackets", 2, b"[10.0.0.5]:502"),
    ("desktop_arguments", 3, b"--device\x0010.0.0.5:1502\x00--no-link-check"),
    ("inputs", 4, b"DI0:500,DI2:1500"),
    ("state", 5, json.dumps(state, indent=4).encode()),
    # [operation: 5 Modbus][flags][fields]
    ("settings_write", 6, bytes([5, 0]) + b"1502\x0030"),
    # [--type][command][arguments]
    ("settings_command", 7, b"wpa\x00set-station\x00Workshop\x00secret-key"),
    ("settings_backup", 8, json.dumps(backup, indent=4).encode()),
    ("settings_backup_port_beyond_int", 8,
     json.dumps(dict(backup, modbus={"port": 1e20, "idleTimeout": 120}), indent=4).encode()),
]
for name, index, text in parsers:
    write("parser_fuzzer", name, bytes([index]) + text)
