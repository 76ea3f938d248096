#!/usr/bin/env bash
# quentool glyph and text: metrics at the original's sizes, coverage levels, faces, layout of
# the markup's edge cases, the colours of a drawn page, and the content stream's round trip.
set -euo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail=0
check() {  # check NAME PYTHON-EXPRESSION-ON-j JSON
  local name=$1 expr=$2 json=$3
  if ! python3 -c "import json,sys; j=json.loads(sys.argv[1]); sys.exit(0 if ($expr) else 1)" \
    "$json"; then
    printf 'FAIL: %s\n%s\n' "$name" "$json"
    fail=1
  fi
}

# Glyphs: a 24-pixel ＭＳ ゴシック kana advances 24, a letter 12, a space 12 without a bitmap.
check kana 'j["advance"] == 24 and j["ascent"] == 21 and j["file"].endswith("/ipag.ttf")' "$("$tool" glyph あ --height 24)"
check letter 'j["advance"] == 12' "$("$tool" glyph A --height 24)"
check space 'j["advance"] == 12 and j["width"] == 0 and j["right_pad"] == 12' "$("$tool" glyph ' ' --height 24)"
check unknown 'j["file"].endswith("/ipag.ttf")' "$("$tool" glyph あ --height 24 --font 'No Such Face')"
check proportional 'j["file"].endswith("/ipagp.ttf")' "$("$tool" glyph あ --height 24 --font 'ＭＳ Ｐゴシック')"
check mincho 'j["file"].endswith("/ipam.ttf")' "$("$tool" glyph 明 --height 24 --font 'ＭＳ 明朝')"
check absurd 'j["width"] <= 1024 and j["height"] <= 1024' "$("$tool" glyph 漢 --height 2147483647)"

# Coverage holds only the values of its level's table; bold inks more; repeats are identical.
for level in 0 1 2 3; do
  "$tool" glyph 漢 --height 24 --level $level -o l$level.png >/dev/null
done
"$tool" glyph 漢 --height 24 --flags 1 -o bold.png >/dev/null
"$tool" glyph 漢 --height 24 --level 3 -o again.png >/dev/null
cmp -s l3.png again.png || { echo "FAIL: the same glyph twice gave other bytes"; fail=1; }
python3 "$here/png_check.py" levels "$work" || fail=1

# Layout: the edge cases of the markup, rows read back from the JSON.
rows() {  # rows FILE ARGS... -> one line per row, pages separated by "#"
  "$tool" text layout "$@" | python3 -c '
import json, sys
j = json.load(sys.stdin)
print(" # ".join(" | ".join("".join(g["text"] for g in r["glyphs"] if g["type"] == "char")
      for r in p["rows"]) for p in j["pages"]))'
}
expect_rows() {  # expect_rows EXPECTED MARKUP ARGS...
  local expected=$1 markup=$2 got
  shift 2
  printf '%s' "$markup" >in.txt
  got=$(rows in.txt --height 12 "$@")
  if [ "$got" != "$expected" ]; then
    printf 'FAIL: %s %s\n--- expected\n%s\n--- got\n%s\n' "$markup" "$*" "$expected" "$got"
    fail=1
  fi
}
expect_rows 'あいう | え」おか' 'あいうえ」おか' --width 48
expect_rows 'あいう | 「えお' 'あいう「えお' --width 48
expect_rows 'ab  | cdefghijklm  | n' 'ab cdefghijklm n' --width 48
expect_rows 'あ | いうえ | お' 'あ<NOBR>いうえ</NOBR>お' --width 36
expect_rows 'あい | うえお | か' 'あい<RUBY VALUE="x">うえお</RUBY>か' --width 36
expect_rows 'あ | い # う # え' 'あ<BR>い<BR CLEAR>う<CLEAR>え' --width 48
expect_rows 'あい | うえ # おか' 'あいうえおか' --width 24 --page-height 24
expect_rows 'あいう | えお' 'あいう<BR>えお'
expect_rows 'a b c' 'a  b
c'
expect_rows 'a  b' '<PRE>a  b</PRE>'
expect_rows 'a<B>\' 'a\<B\>\'
expect_rows 'xy' 'x<!-- <B> -->y<SCRIPT>z</SCRIPT>'
expect_rows '[3][v]' '[<VAR NAME="1+2">][<VAR NAME=k>]' --var k=v
printf 'あいうえ<BR><DIV ALIGN=CENTER>お</DIV>' >in.txt
check 'centre and width' 'j["width"] == 48 and j["pages"][0]["rows"][1]["glyphs"][0]["x"] == 18' "$("$tool" text layout in.txt --height 12 --width 48)"
check 'width 0' 'j["width"] == 48' "$("$tool" text layout in.txt --height 12)"

# A page drawn: text, edge and shadow colours, the same bytes on every run.
printf '<FONT SIZE=24>縁影</FONT>' >page.txt
"$tool" text layout page.txt --width 100 --color FFFFFF --border 2 --border-color 0000FF \
  --shadow 3 --shadow-color FF0000 -o page.png >/dev/null
"$tool" text layout page.txt --width 100 --color FFFFFF --border 2 --border-color 0000FF \
  --shadow 3 --shadow-color FF0000 -o page2.png >/dev/null
cmp -s page.png page2.png || { echo "FAIL: the same page twice gave other bytes"; fail=1; }
python3 "$here/png_check.py" colours page.png FFFFFF 0000FF FF0000 || fail=1

# Content stream: what the markup predicts, a dump that encodes back byte for byte, and damaged
# streams refused.
printf '<B>a</B>b<FONT COLOR=#FF0000 BORDER=2>c</FONT><A HREF="x">d</A><WAIT VALUE=9>e</WAIT>' >enc.txt
"$tool" text encode enc.txt -o enc.kvw --delay 40
"$tool" text dump enc.kvw -o enc.lst
grep -q '^kvword 100$' enc.lst || { echo "FAIL: no header"; fail=1; }
grep -q 'refs=1 color=#FF0000 .*border=2' enc.lst || { echo "FAIL: red bordered record"; fail=1; }
grep -q 'style=1' enc.lst || { echo "FAIL: bold record"; fail=1; }
grep -q 'refs=3 color=none' enc.lst || { echo "FAIL: shared plain record"; fail=1; }
grep -q 'link="x" "d"' enc.lst || { echo "FAIL: link"; fail=1; }
grep -q 'delay=9 "e"' enc.lst && grep -q 'delay=40 "b"' enc.lst || { echo "FAIL: delays"; fail=1; }
"$tool" text encode --listing enc.lst -o back.kvw
cmp -s enc.kvw back.kvw || { echo "FAIL: dump and encode changed the bytes"; fail=1; }
head -c 20 enc.kvw >cut.kvw
if "$tool" text dump cut.kvw >/dev/null 2>err.txt; then
  echo "FAIL: a cut stream was read"
  fail=1
fi
grep -q 'Stream read error' err.txt || { echo "FAIL: no read error"; cat err.txt; fail=1; }
exit $fail
