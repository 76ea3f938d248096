#!/usr/bin/env bash
# Whole-command test of quentool wipe: the steps of the kinds whose arithmetic can be written
# down in a few lines match that arithmetic computed here, pixel for pixel, at 32 bits and for
# some at 16 and 15; every kind gives the same files on the plain path and with one seed; the
# first steps, the circle, hostile parameters and broken mask pictures behave.
# usage: wipe_verbs_test.sh QUENTOOL
set -euo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - "$tool" "$here" <<'EOF'
import filecmp, math, os, subprocess, sys
tool, here = sys.argv[1], sys.argv[2]
sys.path.insert(0, here)
from wipe_pictures import new_picture, old_picture, read_png, write_png

W, H, T, STEP = 67, 71, 1000, 100
TIMES = range(0, T, STEP)
write_png("from.png", W, H, old_picture)
write_png("to.png", W, H, new_picture)
failures = []


def run(*args, check=True):
    r = subprocess.run([tool, "wipe", *map(str, args)], capture_output=True, text=True)
    if check and r.returncode != 0:
        raise SystemExit("quentool wipe %s failed: %s" % (" ".join(map(str, args)), r.stderr))
    return r


WIDTHS = {32: (8, 8, 8), 16: (5, 6, 5), 15: (5, 5, 5)}


def narrow(c, bits):
    return tuple(v >> (8 - w) for v, w in zip(c, WIDTHS[bits]))


def widen(n, bits):
    return tuple((v << (8 - w)) | (v >> (2 * w - 8)) for v, w in zip(n, WIDTHS[bits]))


def blend(d, s, a):
    return tuple((dc * (255 - a) + sc * a) >> 8 for dc, sc in zip(d, s))


def add(d, grey, bits):
    g = narrow((grey,) * 3, bits)
    return tuple(min(dc + gc, (1 << w) - 1) for dc, gc, w in zip(d, g, WIDTHS[bits]))


def sub(d, grey, bits):
    g = narrow((grey,) * 3, bits)
    return tuple(max(dc - gc, 0) for dc, gc in zip(d, g))


def pictures(bits):
    f = [[narrow(old_picture(x, y), bits) for x in range(W)] for y in range(H)]
    t = [[narrow(new_picture(x, y), bits) for x in range(W)] for y in range(H)]
    return f, t


def ramp(b, e, p1):
    return 0 if b < e else min((b - e) * 255 // p1, 255)


def masked(F, Tp, mask):
    out = []
    for y in range(H):
        row = []
        for x in range(W):
            m = mask(x, y)
            row.append(F[y][x] if m == 0 else Tp[y][x] if m == 255 else blend(F[y][x], Tp[y][x], m))
        out.append(row)
    return out


def kv_order(count, increment):
    state, pool, out = 0, list(range(count)), []
    while pool:
        state = (state * 5 + increment) % (1 << 32)
        out.append(pool.pop(state % len(pool)))
    return out


DITHER = kv_order(4096, 12341)


# Each model gives the expected picture at time t, in native channels.
def fade(p0=0, p1=0):
    def frame(F, Tp, t, bits):
        out = [row[:] for row in F]
        a = t * 256 // T
        r = (T - t - 1) / T
        ox, oy = round(r * p0), round(r * p1)
        if a == 0:
            return out
        for y in range(H):
            for x in range(W):
                sx, sy = x - ox, y - oy
                if 0 <= sx < W and 0 <= sy < H and Tp[sy][sx] != out[y][x]:
                    out[y][x] = blend(out[y][x], Tp[sy][sx], a)
        return out
    return frame


def blind(vertical, p0=20, p1=1, rev=False):
    def frame(F, Tp, t, bits):
        b = (p1 + 2 * p0 - 2) * t // T
        def m(x, y):
            i = y % min(p0, H) if vertical else x % p0
            return ramp(b, 2 * (p0 - i - 1) if rev else 2 * i, p1)
        return masked(F, Tp, m)
    return frame


def curtain(vertical, p0=30, p1=1, rev=False):
    def frame(F, Tp, t, bits):
        n = H if vertical else W
        b = ((-(-n // p0) + p0 - 2) * 16 + p1) * t // T
        def m(x, y):
            i = y if vertical else x
            if rev:
                i = n - i - 1
            return ramp(b, (i // p0 + i % p0) * 16, p1)
        return masked(F, Tp, m)
    return frame


def scroll(vertical, rev=False):
    def frame(F, Tp, t, bits):
        n = H if vertical else W
        a = n * t // T
        def pick(x, y):
            i = y if vertical else x
            # The old picture moves by a; the new one fills in where it left.
            j = i - a if rev else i + a
            src = F if 0 <= j < n else Tp
            if src is Tp:
                j = j + n if rev else j - n
            return src[j][x] if vertical else src[y][j]
        return [[pick(x, y) for x in range(W)] for y in range(H)]
    return frame


def dither(F, Tp, t, bits):
    n = t * 4096 // T
    tile = [255] * 4096 if n > 2047 else [0] * 4096
    for i in (range(n, 4096) if n > 2047 else range(n)):
        tile[DITHER[i]] = 0 if n > 2047 else 255
    return masked(F, Tp, lambda x, y: tile[(y % 64) * 64 + x % 64])


def white(darken):
    def frame(F, Tp, t, bits):
        a = t * 511 // T
        src, level = (F, a) if a < 256 else (Tp, 511 - a)
        op = sub if darken else add
        return [[op(p, level, bits) for p in row] for row in src]
    return frame


def flash(F, Tp, t, bits):
    return [[add(p, 255 - t * 255 // T, bits) for p in row] for row in Tp]


def spot(rev=False):
    def frame(F, Tp, t, bits):
        cx, cy = W // 2, H // 2
        far = round(math.sqrt(cx * cx + cy * cy))
        b = t * (far + 512) // T
        out = []
        for y in range(H):
            row = []
            for x in range(W):
                d = round(math.sqrt((y - cy) ** 2 + (x - cx) ** 2))
                n = far - d if rev else d
                p = F[y][x] if b < n + 256 else Tp[y][x]
                if n <= b < n + 512:
                    p = add(p, b - n if b < n + 256 else n - b + 511, bits)
                row.append(p)
            out.append(row)
        return out
    return frame


def mask_fade(grey):
    def frame(F, Tp, t, bits):
        k = t * 512 // T + 255
        return masked(F, Tp, lambda x, y: max(0, min(255, k + grey(x, y) - 511)))
    return frame


# A mask picture of another size, tiled; its greys by luminance, of the inverted colours when
# reversed.
PW, PH = 13, 9
def mask_colour(x, y):
    return ((x * 40) % 256, (y * 60) % 256, (x * y * 9) % 256)
write_png("mask.png", PW, PH, mask_colour)
def luminance(rev):
    def grey(x, y):
        r, g, b = mask_colour(x % PW, y % PH)
        if rev:
            r, g, b = 255 - r, 255 - g, 255 - b
        return (299 * r + 587 * g + 114 * b + 500) // 1000
    return grey


CASES = [
    ("WP_FADE", [], fade(), (32, 16, 15)),
    ("WP_FADE", ["--p0", 20, "--p1", -13], fade(20, -13), (32, 16, 15)),
    ("WP_BLINDH", [], blind(False), (32,)),
    ("WP_BLINDH", ["--p1", 30], blind(False, p1=30), (32, 16, 15)),
    ("WP_BLINDH", ["--reverse", "--p0", 7, "--p1", 9], blind(False, 7, 9, True), (32,)),
    ("WP_BLINDV", [], blind(True), (32,)),
    ("WP_BLINDV", ["--reverse", "--p1", 30], blind(True, p1=30, rev=True), (32, 16)),
    ("WP_BLINDV", ["--p0", 100, "--p1", 50], blind(True, 100, 50), (32,)),
    ("WP_CURTAINH", [], curtain(False), (32,)),
    ("WP_CURTAINH", ["--reverse", "--p0", 9, "--p1", 40], curtain(False, 9, 40, True), (32,)),
    ("WP_CURTAINV", [], curtain(True), (32,)),
    ("WP_CURTAINV", ["--reverse", "--p1", 25], curtain(True, p1=25, rev=True), (32,)),
    ("WP_SCROLLH", [], scroll(False), (32,)),
    ("WP_SCROLLH", ["--reverse"], scroll(False, True), (32,)),
    ("WP_SCROLLV", [], scroll(True), (32,)),
    ("WP_SCROLLV", ["--reverse"], scroll(True, True), (32,)),
    ("WP_DITHER", [], dither, (32,)),
    ("WP_WHITE", [], white(False), (32, 16)),
    ("WP_BLACK", [], white(True), (32,)),
    ("WP_FLASH", [], flash, (32,)),
    ("WP_SPOT", [], spot(), (32, 16)),
    ("WP_SPOT", ["--reverse"], spot(True), (32,)),
    ("WP_MASKFADE", [], mask_fade(lambda x, y: 255), (32, 16, 15)),
    ("WP_MASKFADE", ["--picture", "mask.png"], mask_fade(luminance(False)), (32,)),
    ("WP_MASKFADE", ["--picture", "mask.png", "--reverse"], mask_fade(luminance(True)), (32,)),
]

for kind, options, model, depths in CASES:
    for bits in depths:
        out = "out-%s-%d-%d" % (kind, bits, abs(hash(tuple(map(str, options)))))
        run(kind, "from.png", "to.png", "-o", out, "--depth", bits, *options)
        F, Tp = pictures(bits)
        for t in TIMES:
            _, _, got = read_png("%s/%06d.png" % (out, t))
            want = [[widen(p, bits) for p in row] for row in model(F, Tp, t, bits)]
            if got != want:
                bad = next((x, y) for y in range(H) for x in range(W) if got[y][x] != want[y][x])
                failures.append("%s %s at %d bits, t=%d: first difference at %s: %s, want %s" % (
                    kind, options, bits, t, bad, got[bad[1]][bad[0]], want[bad[1]][bad[0]]))
                break

# Half time, on pictures of one colour each: the dither shows the new one at 2048 of the 4096
# places of its tile, the white fade is all white.
write_png("black.png", 64, 64, lambda x, y: (0, 0, 0))
write_png("grey.png", 64, 64, lambda x, y: (90, 90, 90))
run("WP_DITHER", "black.png", "grey.png", "-o", "dither", "--duration", 1000, "--step", 500)
_, _, half = read_png("dither/000500.png")
count = sum(p == (90, 90, 90) for row in half for p in row)
if count != 2048:
    failures.append("dither at half time shows %d places of the new picture" % count)
run("WP_WHITE", "black.png", "grey.png", "-o", "white", "--duration", 1000, "--step", 500)
_, _, half = read_png("white/000500.png")
if any(p != (255, 255, 255) for row in half for p in row):
    failures.append("white at half time is not all white")

# The first step shows the old picture wherever the formula starts there.
_, _, old = read_png("from.png")
STARTS_OLD = ["WP_FADE", "WP_BLINDH", "WP_BLINDV", "WP_CURTAINH", "WP_CURTAINV", "WP_SCROLLH",
              "WP_SCROLLV", "WP_GRID", "WP_GRIDH", "WP_GRIDV", "WP_DITHER", "WP_WHITE",
              "WP_BLACK", "WP_SUDAREH", "WP_SUDAREV", "WP_SPOT", "WP_MASKFADE", "WP_MASKWHITE",
              "WP_MASKBLACK", "WP_BIG", "WP_BLURWHITE", "WP_BLURBLACK", "WP_TWISTH", "WP_TWISTV",
              "WP_CRACK", "WP_ZOOMIN", "WP_CLOCKHAND", "WP_RUBBERH", "WP_RUBBERV", "WP_FAN",
              "WP_WFAN", "WP_CIRCLE"]
for kind in STARTS_OLD:
    run(kind, "from.png", "to.png", "-o", "first-" + kind, "--step", 1000)
    if read_png("first-%s/000000.png" % kind)[2] != old:
        failures.append(kind + ": the first step is not the old picture")

# The circle decides each pixel between the two pictures, uncovers more and more of the new
# one, and reversed starts with the old picture everywhere.
_, _, new = read_png("to.png")
for rev in ([], ["--reverse"]):
    out = "circle%d" % len(rev)
    run("WP_CIRCLE", "from.png", "to.png", "-o", out, "--step", 50, *rev)
    shown = set()
    for t in range(0, T, 50):
        _, _, got = read_png("%s/%06d.png" % (out, t))
        now = set()
        for y in range(H):
            for x in range(W):
                if old[y][x] == new[y][x]:
                    continue
                if got[y][x] == new[y][x]:
                    now.add((x, y))
                elif got[y][x] != old[y][x]:
                    failures.append("circle %s t=%d: (%d, %d) is neither picture" % (rev, t, x, y))
        if not shown <= now:
            failures.append("circle %s t=%d covers again what it had uncovered" % (rev, t))
        if t == 0 and now:
            failures.append("circle %s starts with %d pixels of the new picture" % (rev, len(now)))
        shown = now

# Every kind: the plain path gives the same files as the packed one, and so does the same seed.
def same(a, b):
    names = sorted(os.listdir(a))
    return names == sorted(os.listdir(b)) and all(filecmp.cmp(a + "/" + n, b + "/" + n, False)
                                                  for n in names)

for kind in range(1, 39):
    for bits in (16, 32):
        a, b = "k%d-%d-a" % (kind, bits), "k%d-%d-b" % (kind, bits)
        run(kind, "from.png", "to.png", "-o", a, "--depth", bits, "--step", 150, "--seed", 3)
        run(kind, "from.png", "to.png", "-o", b, "--depth", bits, "--step", 150, "--seed", 3,
            "--scalar")
        if not same(a, b):
            failures.append("kind %d at %d bits: the plain path differs" % (kind, bits))
for kind in ("WP_CRACK", "WP_BLOCKRANDOM"):
    runs = []
    for i, seed in enumerate((5, 5, 6)):
        runs.append("%s-seed%d" % (kind, i))
        run(kind, "from.png", "to.png", "-o", runs[-1], "--seed", seed, "--step", 250, "--p0", 16)
    if not same(runs[0], runs[1]) or same(runs[0], runs[2]):
        failures.append(kind + ": seeds do not decide the order")

# Broken mask pictures count as none.
open("empty.png", "wb").close()
with open("damaged.png", "wb") as f:
    f.write(open("mask.png", "rb").read()[:60])
for kind in ("WP_MASKFADE", "WP_MASKWHITE", "WP_MASKBLACK"):
    run(kind, "from.png", "to.png", "-o", kind + "-none", "--step", 200)
    for bad in ("empty.png", "damaged.png", "missing.png"):
        out = "%s-%s" % (kind, bad)
        run(kind, "from.png", "to.png", "-o", out, "--step", 200, "--picture", bad)
        if not same(kind + "-none", out):
            failures.append("%s with %s differs from no picture" % (kind, bad))

# A tiny screen and hostile parameters: every kind ends normally.
write_png("tiny-a.png", 10, 8, old_picture)
write_png("tiny-b.png", 10, 8, new_picture)
for kind in range(1, 39):
    for p0, p1 in ((2147483647, 2147483647), (-2147483648, -2147483648), (0, 0), (1, 2147483647)):
        out = "tiny-%d-%d-%d" % (kind, p0, p1)
        r = run(kind, "tiny-a.png", "tiny-b.png", "-o", out, "--p0", p0, "--p1", p1,
                "--duration", 2147483647, "--step", 429496729, check=False)
        if r.returncode != 0 or len(os.listdir(out)) != 6:
            failures.append("kind %d with p0 %d p1 %d: %s" % (kind, p0, p1, r.stderr.strip()))

# The contact sheet of every kind, against the reviewed one.
os.mkdir("sheet")
subprocess.run([sys.executable, here + "/wipe_pictures.py", "sheet"], check=True)
run("sheet", "sheet/from.png", "sheet/to.png", "-o", "sheet/sheet.png")
if read_png("sheet/sheet.png") != read_png(here + "/../imaging/golden/wipe_sheet32.png"):
    failures.append("the contact sheet differs from tests/imaging/golden/wipe_sheet32.png")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
EOF
