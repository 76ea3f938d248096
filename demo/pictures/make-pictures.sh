#!/usr/bin/env bash
# Draws the demo's pictures and encodes them as the game stores them: layered pictures made by
# quentool brx from PNGs drawn here, and the map image's hot spots made by quentool map from
# hotspots.txt. usage: demo/pictures/make-pictures.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)
pictures=$here
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
PYTHONPATH="$pictures" python3 - <<'PY'
import math
from png import png

def clamp(v):
    return max(0, min(255, int(v)))

# The background: a sky fading to a hill.
def background(x, y):
    if y > 330 + 30 * math.sin(x / 90):
        return (40, clamp(120 - (y - 330) / 3), 50, 255)
    return (clamp(90 + y / 3), clamp(140 + y / 4), 230, 255)
png("background.png", 640, 480, background)

# The character: a head and a body, edges softened by the alpha.
def character(x, y):
    head = math.hypot(x - 60, y - 50) - 36
    body = max(abs(x - 60) - 34 - y / 20, abs(y - 170) - 80)
    d = min(head, body)
    a = clamp(255 * (0.5 - d))
    colour = (250, 215, 185) if head < body else (200, 60, 90)
    return colour + (a,)
png("character.png", 120, 260, character)

# An animated sprite: a ball that squashes and turns in four frames.
for k in range(4):
    def ball(x, y, k=k):
        sx, sy = 1 + 0.15 * math.sin(k * math.pi / 2), 1 - 0.15 * math.sin(k * math.pi / 2)
        d = math.hypot((x - 24) / sx, (y - 24) / sy) - 20
        stripe = (int((x + 12 * k) / 6) % 2) * 60
        return (255, clamp(180 - stripe), 40, clamp(255 * (0.5 - d)))
    png(f"sprite_{k}.png", 48, 48, ball)

# A button in its three looks.
def button(fill):
    def px(x, y):
        edge = x < 2 or y < 2 or x > 137 or y > 37
        return ((30, 30, 60) if edge else fill) + (255,)
    return px
png("button.png", 140, 40, button((90, 110, 200)))
png("button_hover.png", 140, 40, button((120, 150, 250)))
png("button_pressed.png", 140, 40, button((50, 70, 150)))

# The map: two doors in a wall; the hover picture is the same wall lit.
def wall(lit):
    def px(x, y):
        door = (30 <= x < 90 and 20 <= y < 110) or math.hypot(x - 180, y - 60) < 40
        base = (150, 110, 70) if door else (110, 110, 120)
        return tuple(clamp(c * (1.6 if lit else 1)) for c in base) + (255,)
    return px
png("map.png", 240, 120, wall(False))
png("map_hover.png", 240, 120, wall(True))

# A snowflake.
png("flake.png", 6, 6, lambda x, y: (255, 255, 255, clamp(255 * (3 - math.hypot(x - 2.5, y - 2.5)))))
PY
"$tool" brx encode background.png -o "$out/background.brx"
"$tool" brx encode character.png -o "$out/character.brx"
"$tool" brx encode sprite_0.png sprite_1.png sprite_2.png sprite_3.png --duration 120 \
  -o "$out/sprite.brx"
"$tool" brx encode button.png -o "$out/button.brx"
"$tool" brx encode button_hover.png -o "$out/button_hover.brx"
"$tool" brx encode button_pressed.png -o "$out/button_pressed.brx"
"$tool" brx encode map.png -o "$out/map.brx"
"$tool" brx encode map_hover.png -o "$out/map_hover.brx"
"$tool" brx encode flake.png -o "$out/flake.brx"
"$tool" map encode "$here/hotspots.txt" -o "$out/hotspots.map"
