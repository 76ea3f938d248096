#!/usr/bin/env python3
"""The pictures the transition tests and the reviewed contact sheet start from, and a small PNG
reader and writer for them.

usage: wipe_pictures.py OUTDIR [W H]   writes OUTDIR/from.png and OUTDIR/to.png (128 x 96)
"""
import struct
import sys
import zlib


def write_png(path, w, h, pixel):
    """An 8-bit RGB PNG of pixel(x, y) -> (r, g, b)."""
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    head = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows)) +
                chunk(b"IEND", b""))


def read_png(path):
    """(w, h, rows of (r, g, b)) of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    i, idat, w, h, kind = 8, b"", 0, 0, 2
    while i < len(data):
        n, = struct.unpack(">I", data[i:i + 4])
        tag, body = data[i + 4:i + 8], data[i + 8:i + 8 + n]
        i += 12 + n
        if tag == b"IHDR":
            w, h, depth, kind = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and kind in (2, 6), path
        elif tag == b"IDAT":
            idat += body
    bpp = 3 if kind == 2 else 4
    raw, stride = zlib.decompress(idat), w * bpp
    prev, rows, p = bytearray(stride), [], 0
    for _ in range(h):
        f, line = raw[p], bytearray(raw[p + 1:p + 1 + stride])
        p += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if f == 1:
                line[x] = (line[x] + a) & 255
            elif f == 2:
                line[x] = (line[x] + b) & 255
            elif f == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif f == 4:
                q = a + b - c
                pa, pb, pc = abs(q - a), abs(q - b), abs(q - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(w)])
        prev = line
    return w, h, rows


# A smooth gradient goes, a chequer board of other colours comes; a few places of the new
# picture equal the old one (blends skip equal pixels).
def old_picture(x, y):
    return ((x * 37 + y * 11) % 256, (x * 5 + y * 29) % 256, (x * y * 3) % 256)


def new_picture(x, y):
    if (x + y) % 7 == 0:
        return old_picture(x, y)
    return ((255 - x * 3) % 256, (y * 13) % 256, (x * 7 + y * 3) % 256)


def sheet_from(x, y):
    return (x * 2 % 256, y * 2 % 256, 180)


def sheet_to(x, y):
    return (255 if (x // 16 + y // 16) % 2 else 40, 200 - y, 60 + x)


if __name__ == "__main__":
    out = sys.argv[1]
    w, h = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) > 3 else (128, 96)
    write_png(out + "/from.png", w, h, sheet_from)
    write_png(out + "/to.png", w, h, sheet_to)
