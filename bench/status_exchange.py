#!/usr/bin/env python3
"""What `rzlctl status` does, as a plain script: identify the module, then poll it, each on a
connection of its own, and print the outputs, inputs and signal strength.
Usage: status_exchange.py HOST:PORT"""
import socket
import sys

SIGNATURE = bytes([0x5A, 0x35, 0x77, 0xA5])


def exchange(address, frame, reply_length):
    with socket.create_connection(address, timeout=3) as s:
        s.sendall(SIGNATURE + frame)
        reply = b""
        while len(reply) < reply_length:
            piece = s.recv(256)
            if not piece:
                break
            reply += piece
    if len(reply) < reply_length or reply[:4] != SIGNATURE or reply[5] != 6:
        sys.exit("no accepted reply to command %d" % frame[0])
    return reply


def main():
    host, port = sys.argv[1].rsplit(":", 1)
    address = (host, int(port))
    exchange(address, bytes([0x21, 0, 0]), 198)
    poll = exchange(address, bytes([0xD8]), 10)
    rssi = int.from_bytes(poll[8:10], "big") - 65536
    print("DO: %02X  DI: %02X  RSSI: %d dBm" % (poll[6], poll[7], rssi))


if __name__ == "__main__":
    main()
