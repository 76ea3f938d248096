#!/usr/bin/env bash
# Whole-command test of quentool midi: text forms assemble to files that dump back to the same
# text and assemble again to the same bytes (damage and all); events give the reader's times;
# play gives what the headless port receives; refused files exit 1 with the reason.
# usage: midi_verbs_test.sh QUENTOOL
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Every kind of thing the text form keeps: a long header, a foreign chunk, a track that ends at
# damage with trailing bytes, a stored length past the file, running status, a long delta.
cat >odd.txt <<'TXT'
format 1
tracks 3
division 96
header-length 8
header-extra 0102
track
  0 FF510307A120
  0 903C40
  raw:8000 3C00
  0 F004010203F7
  96 FF2F00
  trailing 5AA5
end
chunk 58595A31 0102
track
  0 C105
  0 06
  trailing F1
end
track length 4096
  0 FF2F00
end
TXT
"$tool" midi asm odd.txt -o odd.mid
"$tool" midi dump odd.mid -o again.txt
diff odd.txt again.txt
"$tool" midi asm again.txt -o again.mid
cmp odd.mid again.mid

# Times: division 3, a delta of 120000 ticks is 20000001 ms.
cat >long.txt <<'TXT'
format 0
tracks 1
division 3
track
  0 903C40
  120000 803C00
  0 FF2F00
end
TXT
"$tool" midi asm long.txt -o long.mid
"$tool" midi events long.mid >events.txt
printf '0 0 903C40\n120000 20000001 803C00\n120000 20000001 FF2F\nlength 20000001\n' | diff - events.txt

# Playing: System On first, the volume, each event on the tick after its time.
cat >song.txt <<'TXT'
format 0
tracks 1
division 480
track
  0 B0077F
  0 903C40
  0 F00A4110421240007F0041F7
  240 B00A10
  240 803C00
  0 FF2F00
end
TXT
"$tool" midi asm song.txt -o song.mid
"$tool" midi play song.mid --volume -5000 >play.txt
head -n 1 play.txt | grep -qx '0 F07E7F0901F7'
grep -qx '10 B0073F' play.txt
grep -qx '260 B00A10' play.txt
grep -qx '510 803C00' play.txt
# Chasing from 300 ms sends the controllers and the reset, never the note; playing goes on from
# the time of the last event chased (0 here), so the controller at 250 ms comes at 260.
"$tool" midi play song.mid --from 300 >chase.txt
grep -qx '0 B0077F' chase.txt
grep -qx '0 F04110421240007F0041F7' chase.txt
grep -qx '260 B00A10' chase.txt
if grep -q ' 903C40' chase.txt; then exit 1; fi
# Repeating for 1.5 s: the note three times, all notes off at each turn and at the end.
"$tool" midi play song.mid --repeat --ms 1500 >repeat.txt
[ "$(grep -c ' 903C40$' repeat.txt)" = 3 ]
[ "$(grep -c ' B07B00$' repeat.txt)" = 3 ]
# The same run twice gives the same messages.
"$tool" midi play song.mid --repeat --ms 1500 | cmp - repeat.txt

# Refused: not a MIDI file, division 0.
printf 'RIFF' >bad.mid
if "$tool" midi events bad.mid 2>err.txt; then exit 1; fi
grep -q 'MThd' err.txt
sed 's/^division 480/division 0/' song.txt >zero.txt
"$tool" midi asm zero.txt -o zero.mid
set +e
"$tool" midi dump zero.mid 2>err.txt
status=$?
set -e
[ $status = 1 ]
grep -q 'division 0' err.txt
# A text the assembler cannot read names its line.
printf 'format 0\ntracks 1\ndivision 96\ntrack\n  0 9G\nend\n' >typo.txt
if "$tool" midi asm typo.txt -o typo.mid 2>err.txt; then exit 1; fi
grep -q 'typo.txt:line 5' err.txt
echo ok
