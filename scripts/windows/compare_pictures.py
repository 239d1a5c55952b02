#!/usr/bin/env python3
"""Compares two pictures of the same window (PNG, 8-bit RGB or RGBA, as Qt writes them).

    compare_pictures.py A.png B.png MAX_PERCENT

What two systems render differently of the same window is its text: the fonts are drawn with
other smoothing and hinting, pixel by pixel. Averaged over squares of 8 x 8 pixels those
differences all but vanish, while a missing picture, another style or a layout moved by a few
pixels still shows. Prints both sizes, the share of pixels that differ clearly (a channel by
more than 64 of 255) for the record, and the share of squares whose average colour differs by
more than 48. Exit 0 when the sizes are equal and that share of squares is at most
MAX_PERCENT; 1 otherwise.
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"compare_pictures: {path} is no PNG picture")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunk = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"IDAT":
            idat += chunk
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise SystemExit(f"compare_pictures: {path}: only 8-bit RGB or RGBA, not interlaced")
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                guess = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + guess) & 255
        rows.append(bytes(line))
        previous = line
    # Only the colour counts, as three bytes a pixel.
    pixels = [bytes(row[x * channels:x * channels + 3]) for row in rows for x in range(width)]
    return width, height, pixels


def differ(x, y, threshold):
    return max(abs(p - q) for p, q in zip(x, y)) > threshold


def squares(width, height, pixels, side=8):
    """The average colour of each whole square of side x side pixels."""
    means = []
    for top in range(0, height - side + 1, side):
        for left in range(0, width - side + 1, side):
            total = [0, 0, 0]
            for y in range(top, top + side):
                for pixel in pixels[y * width + left:y * width + left + side]:
                    for k in range(3):
                        total[k] += pixel[k]
            means.append([t / (side * side) for t in total])
    return means


def main(a, b, limit):
    wa, ha, pa = read_png(a)
    wb, hb, pb = read_png(b)
    print(f"compare_pictures: {a}: {wa}x{ha}; {b}: {wb}x{hb}")
    if (wa, ha) != (wb, hb):
        print("compare_pictures: the sizes differ")
        return 1
    pixels = 100.0 * sum(1 for x, y in zip(pa, pb) if differ(x, y, 64)) / len(pa)
    sa, sb = squares(wa, ha, pa), squares(wb, hb, pb)
    share = 100.0 * sum(1 for x, y in zip(sa, sb) if differ(x, y, 48)) / len(sa)
    print(f"compare_pictures: {pixels:.2f} % of the pixels differ clearly; "
          f"{share:.2f} % of the 8 x 8 squares (at most {limit} %)")
    return 0 if share <= limit else 1


if __name__ == "__main__":
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2], float(sys.argv[3])))
