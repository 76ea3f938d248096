#!/usr/bin/env bash
# Makes the seed corpus of the layered-picture fuzz target with quentool: small pictures of
# each compression kind, scrambled, layered and masked, each behind the fuzz target's options
# byte. usage: fuzz/brix/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
python3 - <<'PY'
import struct, zlib
def png(path, w, h, ctype, pixel):
    n = {2: 3, 6: 4, 0: 1}[ctype]
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)[:n]) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, ctype, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
png("rgba.png", 9, 5, 6, lambda x, y: (x * 20, y * 40, 77, 0 if x == 0 else 255))
png("rgb.png", 9, 5, 2, lambda x, y: (200, x * 9, y * 9))
png("grey.png", 9, 5, 0, lambda x, y: (x * 25,))
PY
"$tool" brx encode rgba.png rgb.png -o zlib.brx --duration 50
"$tool" brx encode rgb.png -o raw.brx --compression 1
"$tool" brx encode rgb.png -o jpeg.brx --compression 2
"$tool" brx encode rgba.png rgb.png -o keyed.brx --key 12345
"$tool" brx encode rgba.png rgb.png grey.png --layers -o layers.brx
for f in zlib raw jpeg layers; do
  { printf '\x00'; cat $f.brx; } >"$out/$f.bin"
  { printf '\x0e'; cat $f.brx; } >"$out/$f-masks-16.bin"
done
{ printf '\x20'; cat keyed.brx; } >"$out/keyed.bin"
{ printf '\x26'; cat keyed.brx; } >"$out/keyed-layers-masks.bin"
{ printf '\x00'; cat rgba.png; } >"$out/rgba.bin"
{ printf '\x00'; cat grey.png; } >"$out/grey.bin"
