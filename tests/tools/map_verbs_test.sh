#!/usr/bin/env bash
# Whole-command test of quentool map: a text with every shape (names in Japanese, quoted with a
# space, as bytes) encodes to the bytes the map reader expects, dumps back to the same text, and
# wrong lines are refused with their line number. usage: map_verbs_test.sh QUENTOOL
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >areas.txt <<'TXT'
# a door, a window and the roof
rect 扉 10 20 30 40
ellipse "round window" 50 5 60 15
poly roof 0,0 100,0 50,-20
poly:9 hex:8140 1,1 2,2 3,1
TXT
"$tool" map encode areas.txt -o areas.map
python3 - <<'PY'
import struct
b = open("areas.map", "rb").read()
def s(t): return struct.pack("<i", len(t)) + t
want = struct.pack("<i", 4)
want += s("扉".encode("cp932")) + b"\0" + struct.pack("<4i", 10, 20, 30, 40)
want += s(b"round window") + b"\1" + struct.pack("<4i", 50, 5, 60, 15)
want += s(b"roof") + b"\2" + struct.pack("<7i", 3, 0, 0, 100, 0, 50, -20)
want += s(b"\x81\x40") + b"\x09" + struct.pack("<7i", 3, 1, 1, 2, 2, 3, 1)
assert b == want, (b, want)
PY
"$tool" map dump areas.map >dumped.txt
cat >expected.txt <<'TXT'
rect "扉" 10 20 30 40
ellipse "round window" 50 5 60 15
poly "roof" 0,0 100,0 50,-20
poly:9 "　" 1,1 2,2 3,1
TXT
diff expected.txt dumped.txt
"$tool" map encode dumped.txt -o again.map
cmp areas.map again.map

for bad in 'rect a 1 2 3' 'circle a 1 2 3 4' 'poly a 1;2' 'poly:1 a 0,0 1,1 1,0' 'rect a 1 2 3 99999999999'; do
  printf 'rect ok 0 0 1 1\n%s\n' "$bad" >bad.txt
  if "$tool" map encode bad.txt -o bad.map 2>err.txt; then
    echo "accepted: $bad"
    exit 1
  fi
  grep -q "line 2" err.txt || { cat err.txt; exit 1; }
done
# A damaged map file is refused, not read past its end.
head -c 30 areas.map >cut.map
if "$tool" map dump cut.map >/dev/null 2>&1; then
  echo "read a cut map file"
  exit 1
fi
echo "map verbs: ok"
