#!/usr/bin/env python3
"""Checks of the PNG pictures quentool glyph and text layout write (no imaging library needed).

usage: png_check.py levels DIR   coverage of l0..l3.png within each level's table, bold.png inks more
       png_check.py colours PNG RRGGBB...   every colour appears as an opaque pixel
"""
import struct
import sys
import zlib


def pixels(path):
    d = open(path, "rb").read()
    i, idat, w, h, ct = 8, b"", 0, 0, 0
    while i < len(d):
        n = struct.unpack(">I", d[i:i + 4])[0]
        t, c = d[i + 4:i + 8], d[i + 8:i + 8 + n]
        i += 12 + n
        if t == b"IHDR":
            w, h, _, ct = struct.unpack(">IIBB", c[:10])
        if t == b"IDAT":
            idat += c
    bpp = {0: 1, 2: 3, 6: 4}[ct]
    raw, stride = zlib.decompress(idat), w * bpp
    out, prev, o = [], bytearray(stride), 0
    for _ in range(h):
        f, line = raw[o], bytearray(raw[o + 1:o + 1 + stride])
        o += 1 + stride
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
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += [tuple(line[k:k + bpp]) for k in range(0, stride, bpp)]
        prev = line
    return out


def levels(folder):
    tables = {
        0: {0, 255},
        1: {0, 79, 127, 207, 255},
        2: {0, 43, 55, 67, 79, 91, 103, 115, 159, 171, 183, 195, 207, 219, 231, 243, 255},
        3: {0, 18, 21, 24, 27, 30, 33, 36} | {55 + 3 * k for k in range(16)}
        | {119 + 3 * k for k in range(16)} | {183 + 3 * k for k in range(25)},
    }
    ok = True
    for level, table in tables.items():
        seen = {p[0] for p in pixels(f"{folder}/l{level}.png")}
        if not seen <= table or 255 not in seen:
            print(f"FAIL: level {level} has {sorted(seen - table)}")
            ok = False
    if sum(p[0] for p in pixels(f"{folder}/bold.png")) <= sum(p[0] for p in pixels(f"{folder}/l3.png")):
        print("FAIL: bold does not ink more")
        ok = False
    return ok


def colours(path, wanted):
    seen = {p[:3] for p in pixels(path) if len(p) < 4 or p[3] == 255}
    missing = [c for c in wanted if tuple(int(c[k:k + 2], 16) for k in (0, 2, 4)) not in seen]
    if missing:
        print(f"FAIL: {path} lacks {missing}")
    return not missing


if __name__ == "__main__":
    ok = levels(sys.argv[2]) if sys.argv[1] == "levels" else colours(sys.argv[2], sys.argv[3:])
    sys.exit(0 if ok else 1)
