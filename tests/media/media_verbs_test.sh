#!/usr/bin/env bash
# Whole-command test of quentool media and the player's sound capture: waves written from their
# text form, rendered by the library's engine and by the wave output engine, compressed files,
# CD tracks and archive entries, refused files, video pictures at their times, and a headless
# game's --dump-sound. usage: media_verbs_test.sh QUENTOOL QUENPLAY
set -euo pipefail
tool=$1
player=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_RUNTIME_DIR=$work
fail() { echo "FAIL: $*" >&2; exit 1; }

# Samples of a wave's data chunk (16-bit stereo output of render), as a Python helper.
cat >wav.py <<'PY'
import struct, sys
def samples(path):
    d = open(path, 'rb').read()
    i = d.find(b'data')
    n = struct.unpack('<I', d[i + 4:i + 8])[0]
    return list(struct.unpack('<%dh' % (n // 2), d[i + 8:i + 8 + n]))
def raw(path):
    d = open(path, 'rb').read()
    i = d.find(b'data')
    n = struct.unpack('<I', d[i + 4:i + 8])[0]
    return d[i + 8:i + 8 + n]
PY

# ---- the text form: made, dumped and made again, byte for byte ----
cat >noise.txt <<'T'
format 2 44100 16
noise 200 30000 7
T
"$tool" media wave noise.txt -o noise.wav
"$tool" media dump noise.wav -o noise2.txt
"$tool" media wave noise2.txt -o noise2.wav
cmp noise.wav noise2.wav || fail "wave text round trip"

# ---- info ----
"$tool" media info noise.wav >info.txt
diff <(printf 'manager ogg\nchannels 2\nrate 44100\nbits 16\nlength 200\n') info.txt || fail info

# ---- the library's engine: bit for bit at full volume, -600 is 0.501, a pan of -10000 ----
"$tool" media render noise.wav -o full.wav
"$tool" media render noise.wav -o quiet.wav --volume -600 --pan -10000
"$tool" media render noise.wav noise.wav -o twice.wav --ms 100
python3 - <<'PY' || fail "engine levels"
from wav import samples
src, full, quiet, twice = (samples(f) for f in ('noise.wav', 'full.wav', 'quiet.wav', 'twice.wav'))
assert full[:len(src)] == src, 'not bit exact'
assert not any(full[len(src):]), 'sound after the end'
peak = max(abs(v) for v in src[0::2])
ratio = max(abs(v) for v in quiet[0::2]) / peak
assert abs(ratio - 0.501) < 0.002, ratio
assert not any(quiet[1::2]), 'right channel not silent'
# two copies together clip at full scale instead of wrapping
assert len(twice) == 4410 * 2, len(twice)
for a, b in zip(src[:8820], twice):
    assert b == max(-32768, min(32767, 2 * a)), (a, b)
PY

# ---- a seamless loop from 50 ms, for 700 ms, and --from ----
"$tool" media render noise.wav -o loop.wav --repeat --repeat-pos 50 --ms 700
"$tool" media render noise.wav -o from.wav --from 100
python3 - <<'PY' || fail "loop"
from wav import samples
src, loop, frm = samples('noise.wav'), samples('loop.wav'), samples('from.wav')
n, r = len(src) // 2, 2205
assert len(loop) == 30870 * 2
for f in range(30870):
    sf = f if f < n else r + (f - n) % (n - r)
    assert loop[2 * f:2 * f + 2] == src[2 * sf:2 * sf + 2], f
assert frm[:len(src) - 8820] == src[8820:]
PY

# ---- the wave output engine: every row of its table ----
rows="2:44100:16 1:44100:16 2:22050:16 1:22050:16 2:44100:8 1:44100:8 2:22050:8 1:22050:8"
for row in $rows; do
  IFS=: read -r ch rate bits <<<"$row"
  printf 'format %s %s %s\nnoise 150 20000 %s\n' "$ch" "$rate" "$bits" "$ch$bits" >row.txt
  "$tool" media wave row.txt -o "row-$row.wav"
  "$tool" media render "row-$row.wav" -o "out-$row.wav" --wavout --delay 100 --ms 800
  python3 - "$row" <<'PY' || fail "wave output row $row"
import sys
from wav import samples, raw
ch, rate, bits = map(int, sys.argv[1].split(':'))
data = raw('row-%s.wav' % sys.argv[1])
out = samples('out-%s.wav' % sys.argv[1])
if bits == 8:
    vals = [(b - 128) * 256 for b in data]
else:
    vals = [int.from_bytes(data[i:i + 2], 'little', signed=True) for i in range(0, len(data), 2)]
frames = [vals[i:i + ch] * (2 // ch) for i in range(0, len(vals), ch)]  # to stereo
rep = 44100 // rate
want = [s for f in frames for _ in range(rep) for s in f]
start = 1102 * 2  # the first pump comes a quarter of the delay in
assert not any(out[:start]), 'sound before the first block'
assert out[start:start + len(want)] == want, 'conversion differs'
assert not any(out[start + len(want):]), 'sound after the end'
PY
done

# ---- compressed files, CD tracks and archive entries ----
"$tool" media encode noise.wav -o bgm.ogg
"$tool" media encode noise.wav -o voice.wma
"$tool" media info bgm.ogg | grep -Eqx 'length 20[0-2]' || fail "ogg length"
"$tool" media info voice.wma | grep -qx 'manager wmp' || fail "wma manager"
mkdir game src
cp noise.wav src/CD_02.wav
cp bgm.ogg src/bgm.ogg
"$tool" pack src -o game/game.dat
"$tool" media info CD_02 --game game | grep -qx 'manager cdda' || fail "CD info"
"$tool" media render CD_02 --game game -o cd.wav
"$tool" media render bgm.ogg --game game -o ogg.wav
"$tool" media render voice.wma -o wma.wav
python3 - <<'PY' || fail "compressed and archived"
from wav import samples
src = samples('noise.wav')
assert samples('cd.wav')[:len(src)] == src, 'CD track from the archive'
for f in ('ogg.wav', 'wma.wav'):
    s = samples(f)
    energy = sum(abs(v) for v in s[:len(src)]) / len(src)
    assert 10000 < energy < 20000, (f, energy)
PY

# ---- refused files: exit 1 with a line naming the file ----
printf 'RIFF\x10\0\0\0WAVEfmt \x10\0\0\0' >damaged.wav
printf 'not music' >song.sgt
for f in damaged.wav song.sgt missing.ogg; do
  if "$tool" media render "$f" -o x.wav 2>err.txt; then fail "$f played"; fi
  grep -q "$f" err.txt || fail "$f not named: $(cat err.txt)"
done

# ---- video: pictures at their times ----
python3 - <<'PY'
import struct, zlib
def png(path, rgb):
    w, h = 32, 24
    rows = b"".join(b"\0" + bytes(rgb) * w for _ in range(h))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
png("r.png", (255, 0, 0)); png("g.png", (0, 255, 0)); png("b.png", (0, 0, 255))
PY
"$tool" media video r.png g.png b.png -o clip.avi --fps 10 --sound noise.wav
"$tool" media info clip.avi --video >vinfo.txt
grep -qx 'width 32' vinfo.txt && grep -qx 'height 24' vinfo.txt || fail "video info: $(cat vinfo.txt)"
"$tool" media frames clip.avi -o frames --at 0,150,250,120
for f in 0 150 250 120; do [ -s "frames/at-$f.png" ] || fail "no picture at $f"; done
"$tool" testcard -o /dev/null  # the tool still draws
python3 - <<'PY' || fail "pictures"
import zlib, struct
def pixel(path):
    d = open(path, 'rb').read()
    w, h = struct.unpack('>II', d[16:24])
    idat, i = b'', 8
    while i < len(d):
        n = struct.unpack('>I', d[i:i + 4])[0]
        if d[i + 4:i + 8] == b'IDAT': idat += d[i + 8:i + 8 + n]
        i += 12 + n
    rows = zlib.decompress(idat)
    return rows[1:4]  # first pixel of an unfiltered first row
want = {0: 0, 150: 1, 250: 2, 120: 1}
for at, chan in want.items():
    p = pixel('frames/at-%d.png' % at)
    assert max(range(3), key=lambda c: p[c]) == chan and p[chan] > 200, (at, list(p))
PY

# ---- MIDI through the media system: the synthesiser sounds into the same capture, every run
# alike, and the item's volume lowers it ----
printf 'format 0\ntracks 1\ndivision 480\ntrack\n  0 C000\n  0 903C64\n  480 803C00\n  0 FF2F00\nend\n' >note.txt
"$tool" midi asm note.txt -o note.mid
"$tool" media info note.mid | grep -qx 'length 500' || fail "MIDI length"
"$tool" media render note.mid -o midi1.wav --ms 800
"$tool" media render note.mid -o midi2.wav --ms 800
"$tool" media render note.mid -o midi3.wav --ms 800 --volume -5000
cmp midi1.wav midi2.wav || fail "MIDI renders differ"
python3 - <<'PY' || fail "MIDI sound"
from wav import samples
full, quiet = samples('midi1.wav'), samples('midi3.wav')
assert len(full) == 35280 * 2
peak, low = max(map(abs, full)), max(map(abs, quiet))
if peak:  # a sound font is installed: the note sounds, and half the controller 7 is softer
    assert low < peak, (low, peak)
PY

# ---- the player: --dump-sound holds floor(t * 44.1) frames and repeats byte for byte; the
# MIDI ports begin with the mapper ----
mkdir play
printf 'version 115\ntitle "t"\nscreen 64 48\nstart_page "main.qsb"\n' >project.txt
"$tool" project project.txt -o play/quen.qpb
printf 'VarNew name=port type=str\nCalc port = @MidiPort\nWait time=100000\n' >main.qs
"$tool" asm main.qs -o play/main.qsb
"$player" --headless --frames 30 --frame-ms 15 --dump-sound run1.wav --trace trace.txt \
  --dump-vars vars.txt play
"$player" --headless --frames 30 --frame-ms 15 --dump-sound run2.wav play
cmp run1.wav run2.wav || fail "two runs differ"
grep -qx "$(printf 'port\t文字列\tMIDI\xe3\x83\x9e\xe3\x83\x83\xe3\x83\x91\xe3\x83\xbc')" vars.txt || fail "@MidiPort: $(cat vars.txt)"
python3 -c "
from wav import samples
assert len(samples('run1.wav')) == (450 * 441 // 10) * 2
" || fail "dump length"
grep -qx 'MediaInit:16' trace.txt || fail "trace"
if "$player" --dump-sound x.wav play 2>/dev/null; then fail "--dump-sound in a window"; fi

# ---- the sound device: SDL's disk driver receives what the engine plays, decoded on its
# thread, and a game in a window opens the device at start-up ----
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=disk.raw "$tool" media render noise.wav --device 2>/dev/null
python3 -c "
raw = open('disk.raw', 'rb').read()
d = open('noise.wav', 'rb').read()[44:]
assert raw.find(d) >= 0, 'the sound is not in the driver file'
" || fail "device sound"
if command -v xvfb-run >/dev/null 2>&1; then
  # Leaks inside the desktop libraries are not ours.
  xvfb-run -a -s '-screen 0 640x480x24' env ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE="$work/window.raw" "$player" --frames 40 play 2>/dev/null
  [ -s window.raw ] || fail "the window's game opened no sound device"
fi
echo "media verbs: ok"
