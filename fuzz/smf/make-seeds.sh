#!/usr/bin/env bash
# Makes the seed corpus of the MIDI file fuzz target with quentool midi asm: a two-track piece
# with tempo changes, sysex and a GS reset, running status, a long header with a foreign
# chunk, a frame-rate division, and a damaged track. usage: fuzz/smf/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
cat >piece.txt <<'TXT'
format 1
tracks 2
division 480
track
  0 FF510307A120
  0 F00A4110421240007F0041F7
  960 FF510303D090
  960 FF2F00
end
track
  0 B0075A
  0 C013
  0 903C40
  240 3E40
  240 803C00
  0 3E00
  480 E00040
  0 F004010203F7
  0 FF2F00
end
TXT
cat >odd.txt <<'TXT'
format 0
tracks 1
division 59176
header-length 10
header-extra 00000000
chunk 58595A31 010203
track
  0 B07B00
  raw:8000 C105
  0 A03C10
  0 D020
  25 FF0103414243
  0 FF2F00
end
TXT
cat >damaged.txt <<'TXT'
format 1
tracks 2
division 96
track length 200
  0 903C40
  96 803C00
  trailing F1
end
track
  0 3C40
end
trailer 00
TXT
for t in piece odd damaged; do "$tool" midi asm $t.txt -o "$out/$t.mid"; done
