#!/usr/bin/env python3
"""Writes a PNG at a fraction of its size, for pictures committed beside the docs.

    shrink_png.py IN.png OUT.png [FACTOR]

Each output pixel is the mean of the FACTOR x FACTOR input pixels it covers (2 by
default); an opaque picture loses its alpha channel. Only what the runner writes is read:
8-bit RGB or RGBA, not interlaced. Python's standard library alone, so that refreshing
the picture needs nothing beyond what a Debian machine has.
"""

import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, idat, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        sys.exit(f"{path}: only 8-bit RGB or RGBA pictures without interlacing are read")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            up_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 255
            elif kind == 2:
                row[i] = (row[i] + up) & 255
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 255
            elif kind == 4:
                row[i] = (row[i] + paeth(left, up, up_left)) & 255
        rows.append(row)
        previous = row
    return width, height, channels, rows


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def shrink(width, height, channels, rows, factor):
    w, h = width // factor, height // factor
    area = factor * factor
    out = []
    for y in range(h):
        row = bytearray(w * channels)
        sources = rows[y * factor:(y + 1) * factor]
        for x in range(w):
            for c in range(channels):
                total = 0
                for source in sources:
                    for dx in range(factor):
                        total += source[(x * factor + dx) * channels + c]
                row[x * channels + c] = (total + area // 2) // area
        out.append(row)
    return w, h, out


def filtered(row, previous, channels):
    """The row under the filter whose output is smallest in absolute sum, a common guess at
    what deflate compresses best."""
    best = None
    for kind in range(5):
        line = bytearray([kind])
        for i, value in enumerate(row):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            up_left = previous[i - channels] if i >= channels else 0
            predictor = (0, left, up, (left + up) // 2, paeth(left, up, up_left))[kind]
            line.append((value - predictor) & 255)
        cost = sum(b if b < 128 else 256 - b for b in line[1:])
        if best is None or cost < best[0]:
            best = (cost, line)
    return best[1]


def write_png(path, width, height, channels, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    previous, raw = bytearray(width * channels), bytearray()
    for row in rows:
        raw += filtered(row, previous, channels)
        previous = row
    header = struct.pack(">IIBBBBB", width, height, 8, 2 if channels == 3 else 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
                + chunk(b"IEND", b""))


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__.strip().splitlines()[2].strip())
    factor = int(sys.argv[3]) if len(sys.argv) == 4 else 2
    width, height, channels, rows = read_png(sys.argv[1])
    width, height, rows = shrink(width, height, channels, rows, factor)
    if channels == 4 and all(row[i] == 255 for row in rows for i in range(3, len(row), 4)):
        rows = [bytearray(b for i, b in enumerate(row) if i % 4 != 3) for row in rows]
        channels = 3
    write_png(sys.argv[2], width, height, channels, rows)
    print(f"{sys.argv[2]}: {width} x {height}")


if __name__ == "__main__":
    main()
