#!/usr/bin/env bash
# Makes the demo's sound, music and film from their readable sources: the chime from its wave
# text, the title music from its MIDI text, and a small clip (a turning colour wheel drawn here,
# the chime as its sound track) encoded by quentool media video.
# usage: demo/media/make-media.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)
pictures=$(cd "$here/../pictures" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
"$tool" media wave "$here/chime.txt" -o "$out/chime.wav"
"$tool" midi asm "$here/theme.txt" -o "$out/theme.mid"
cd "$work"
PYTHONPATH="$pictures" python3 - <<'PY'
import math
from png import png

# Eight frames of a colour wheel on a dark screen, each turned an eighth further.
for k in range(8):
    def wheel(x, y, k=k):
        dx, dy = x - 80, y - 48
        r = math.hypot(dx, dy)
        if r > 40:
            return (20, 20, 40)
        hue = (math.atan2(dy, dx) / (2 * math.pi) + k / 8) % 1
        sector, f = int(hue * 6), hue * 6 % 1
        v = 255 if r > 8 else 80
        rgb = [(1, f, 0), (1 - f, 1, 0), (0, 1, f), (0, 1 - f, 1), (f, 0, 1), (1, 0, 1 - f)][sector]
        return tuple(int(c * v) for c in rgb)
    png(f"wheel_{k}.png", 160, 96, wheel, channels=3)
PY
"$tool" media video wheel_*.png -o "$out/clip.avi" --fps 8 --sound "$out/chime.wav"
