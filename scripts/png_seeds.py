#!/usr/bin/env python3
"""Writes a few small PNG files into the folder given, one for each kind of
file the reader expands: RGB, RGBA, palette with transparency, grey with and
without alpha, 16-bit samples, low bit depths and interlaced ones; and the
shapes the reader must not pay for: data past the last row, data split over
many chunks, empty and text chunks around it."""
import struct
import sys
import zlib
from pathlib import Path


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def rows(width, height, bits):
    # Unfiltered rows of a ramp, so each pixel differs.
    row_bytes = (width * bits + 7) // 8
    return b"".join(b"\0" + bytes((x * 37 + y * 11) & 0xFF for x in range(row_bytes)) for y in range(height))


def png(width, height, depth, colour, interlace=0, extra=b"", after=b"", split=0, trailer=b""):
    bits = depth * {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    if interlace:  # the seven passes of Adam7, each a small picture of its own
        passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
        data = b"".join(rows(-(-(width - x) // dx), -(-(height - y) // dy), bits)
                        for x, y, dx, dy in passes if width > x and height > y)
    else:
        data = rows(width, height, bits)
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    stream = zlib.compress(data + after)
    pieces = [stream[i:i + split] for i in range(0, len(stream), split)] if split else [stream]
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra
            + b"".join(chunk(b"IDAT", piece) for piece in pieces) + trailer + chunk(b"IEND", b""))


palette = chunk(b"PLTE", bytes(range(48))) + chunk(b"tRNS", bytes([0, 128, 255]))
seeds = {
    "rgb.png": png(5, 3, 8, 2),
    "rgba.png": png(3, 2, 8, 6, extra=chunk(b"tEXt", b"Title\0seed")),
    "palette.png": png(7, 2, 4, 3, extra=palette),
    "grey.png": png(9, 2, 1, 0, extra=chunk(b"tRNS", b"\0\1")),
    "grey_alpha.png": png(4, 3, 8, 4),
    "rgb16.png": png(3, 2, 16, 2, extra=chunk(b"gAMA", struct.pack(">I", 45455))),
    "interlaced.png": png(9, 9, 8, 6, interlace=1),
    "interlaced_odd.png": png(3, 5, 2, 0, interlace=1),
    "past_last_row.png": png(4, 4, 8, 2, after=bytes(4096)),
    "split.png": png(6, 4, 8, 6, split=7, trailer=chunk(b"tEXt", b"After\0data")),
    "chunks.png": png(2, 2, 8, 2, extra=chunk(b"abCd", b"") * 4 + chunk(b"zTXt", b"Note\0\0" + zlib.compress(b"x" * 64))),
}
folder = Path(sys.argv[1])
folder.mkdir(parents=True, exist_ok=True)
for name, data in seeds.items():
    (folder / name).write_bytes(data)
