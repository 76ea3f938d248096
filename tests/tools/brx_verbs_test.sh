#!/usr/bin/env bash
# Whole-command test of quentool brx: pictures encoded with every compression kind, with and
# without a key, with masks, layers and several frames, decode back to the same pixels (JPEG
# within 30 dB). usage: brx_verbs_test.sh QUENTOOL
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - <<'EOF'
import struct, zlib

def png(path, w, h, pixel, alpha):
    rows = b""
    for y in range(h):
        rows += b"\0" + b"".join(bytes(pixel(x, y)[: 4 if alpha else 3]) for x in range(w))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    head = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))

def bmp(path, w, h, pixel):
    pitch = (w * 3 + 3) & ~3
    data = b""
    for y in reversed(range(h)):
        row = b"".join(bytes([pixel(x, y)[2], pixel(x, y)[1], pixel(x, y)[0]]) for x in range(w))
        data += row + b"\0" * (pitch - len(row))
    head = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(head + info + data)

smooth = lambda x, y: (x * 5 % 256, y * 7 % 256, (x + y) * 3 % 256, 255 if x % 5 else x * 10 % 256)
png("a.png", 37, 21, smooth, True)
png("b.png", 37, 21, lambda x, y: (255 - x * 5 % 256, 90, y * 9 % 256, 255), False)
bmp("c.bmp", 37, 21, lambda x, y: (x * 6 % 256, y * 11 % 256, 200, 255))
EOF

# Lossless kinds, with and without a key: decoding and encoding again gives the same file.
for key in 0 31337; do
  for kind in 0 1; do
    "$tool" brx encode a.png b.png c.bmp -o frames.brx --key $key --compression $kind --duration 80
    "$tool" brx info frames.brx --key $key | grep -q "frame 2 \"c\": 37 x 21, 24 bit, 80 ms"
    mkdir -p out && "$tool" brx decode frames.brx -o out/x.png --key $key --all
    for i in 0 1 2; do
      mkdir -p "r$i" && cp "out/x_$i.png" "r$i/$(echo a b c | cut -d' ' -f$((i + 1))).png"
    done
    "$tool" brx encode r0/a.png r1/b.png r2/c.png -o again.brx --key $key --compression $kind --duration 80
    cmp frames.brx again.brx
    rm -rf out r0 r1 r2
  done
done

# Layers keep their masks and names.
"$tool" brx encode a.png b.png --layers -o layers.brx
"$tool" brx info layers.brx | grep -q 'layer 0 "a": visible, alpha 255, key -1, mask, mask valid'
"$tool" brx info layers.brx | grep -q 'layer 1 "b": visible'
"$tool" brx decode layers.brx -o layers.png

# JPEG: within 30 dB of the original.
"$tool" brx encode b.png -o lossy.brx --compression 2 --quality 90
"$tool" brx info lossy.brx | grep -q "compression jpeg"
"$tool" brx decode lossy.brx -o lossy.png
python3 - <<'EOF'
import math, struct, zlib

def read(path):
    data = open(path, "rb").read()
    pos, idat, w = 8, b"", 0
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, ctype = struct.unpack(">IIBB", body[:10])
        if kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw, c = zlib.decompress(idat), {2: 3, 6: 4}[ctype]
    stride, out, prev = w * c, [], bytearray(w * c)
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - c] if i >= c else 0
            b, d = prev[i], prev[i - c] if i >= c else 0
            p = a + b - d
            pred = [0, a, b, (a + b) // 2, a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - d) else b if abs(p - b) <= abs(p - d) else d][f]
            line[i] = (line[i] + pred) & 255
        out.append(line)
        prev = line
    return out, c

a, ca = read("b.png")
b, cb = read("lossy.png")
err = sum((a[y][x * ca + k] - b[y][x * cb + k]) ** 2 for y in range(len(a)) for x in range(len(a[0]) // ca) for k in range(3))
psnr = 10 * math.log10(255 * 255 / (err / (len(a) * len(a[0]) // ca * 3)))
assert psnr > 30, psnr
EOF

# A damaged file fails with a message, not a crash.
head -c 60 frames.brx > broken.brx
if "$tool" brx decode broken.brx -o broken.png 2>err.txt; then exit 1; fi
test -s err.txt
echo ok
