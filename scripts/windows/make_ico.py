#!/usr/bin/env python3
"""Packs square PNG pictures into one Windows icon file (.ico), each stored as PNG.

    make_ico.py OUT.ico PICTURE.png...

Windows Vista and later read PNG entries of every size; the sizes come from the pictures.
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG picture")
    return struct.unpack(">II", data[16:24])


def main(out, pictures):
    images = []
    for path in pictures:
        with open(path, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if width != height or width > 256:
            raise SystemExit(f"make_ico: {path}: {width}x{height} is no square of at most 256")
        images.append((width, data))
    images.sort(key=lambda image: image[0])
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, payload = b"", b""
    for size, data in images:
        # 0 stands for 256 in the one-byte width and height.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        payload += data
    with open(out, "wb") as f:
        f.write(header + entries + payload)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
