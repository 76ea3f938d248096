#!/usr/bin/env bash
# Makes the seed corpus of the content-stream fuzz target with quentool: streams compiled from
# markup with every tag, a listing with glyphs the markup cannot make (floats, odd codes, an
# old version), and settings records, each behind the target's mode byte.
# usage: fuzz/kvword/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
printf '<B>太字</B>と<FONT COLOR=#FF0000 SIZE=20 BORDER=2 SHADOW=1>赤</FONT><A HREF="x">リンク</A>'\
'<WAIT VALUE=9>遅</WAIT><EVENT VALUE=e END><IMG SRC=p ALIGN=TOP><DIV ALIGN=CENTER>中</DIV>'\
'<INDENT>い<UNDENT><VAR NAME=a><HISTCHAR VALUE=a><BR CLEAR><RUBY VALUE=ルビ>字</RUBY>'\
'<NOBR>ab cd</NOBR>「かぎ」。' >all.txt
printf 'あいうえおかきくけこ<BR>さしすせそ<CLEAR>たちつてと' >plain.txt
"$tool" text encode all.txt -o all.kvw
"$tool" text encode plain.txt -o plain.kvw
cat >odd.lst <<'LST'
kvword 0
decoration refs=1 color=none border_color=none size=0 style=2 nobr=0 border=1 face="" ruby=""
img delay=0 align=1 nobr=0 ruby="" "left"
chars deco=0 delay=5 "あいう"
img delay=0 align=2 nobr=1 ruby="r" "right"
char deco=0 delay=5 code=0x81
return clear=1
LST
"$tool" text encode --listing odd.lst -o odd.kvw
for f in all plain odd; do
  { printf '\x00'; cat $f.kvw; } >"$out/$f.bin"
  { printf '\x30'; cat $f.kvw; } >"$out/$f-paged.bin"
done
# Settings records of versions 109, 110 and 111 (mode byte 2 × (version - 100) + 1).
python3 - "$out" <<'PY'
import struct, sys
name = b"\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"
base = struct.pack("<iii", 0, 0, 24) + struct.pack("<i", len(name)) + name
base += struct.pack("<iiiiiB", 3, 400, 600, 0, 2, 1) + struct.pack("<iiiii", 0xFF0000, 0x8000, 1, 0x808080, 255)
base += b"\x00" + struct.pack("<iiiB", 0, 0, 0, 0)
for v, tail in ((109, b""), (110, struct.pack("<i", 0)), (111, struct.pack("<iii", 0, 2, 3))):
    open(f"{sys.argv[1]}/settings{v}.bin", "wb").write(bytes([2 * (v - 100) + 1]) + base + tail)
PY
