#!/usr/bin/python3
"""Writes an 8-bit RGBA PNG as raw pixels the way the raster library stores a
32-bit image: blue, green, red, alpha, bottom row first. The programs compile
these bytes in, so they need no image decoder for their icon."""

import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(path + ": not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        raise SystemExit(path + ": only 8-bit non-interlaced RGBA is handled")
    raw = zlib.decompress(idat)
    stride = 4 * width
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            corner = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append(line)
        previous = line
    return width, height, rows


def main():
    source, target = sys.argv[1], sys.argv[2]
    _, _, rows = read_png(source)
    out = bytearray()
    for line in reversed(rows):
        for i in range(0, len(line), 4):
            r, g, b, a = line[i:i + 4]
            out += bytes((b, g, r, a))
    with open(target, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
