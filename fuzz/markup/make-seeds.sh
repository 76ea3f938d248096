#!/usr/bin/env bash
# Makes the seed corpus of the markup fuzz target: markup with every tag, comments, blocks,
# preformatted text, escapes and quotes, behind the target's mode byte.
# usage: fuzz/markup/make-seeds.sh QUENTOOL OUTDIR (quentool is not needed)
set -euo pipefail
out=$(realpath -m "$2")
mkdir -p "$out"
python3 - "$out" <<'PY'
import sys
seeds = {
    "tags": '<B>a</B><I>b</I><U>c</U><S>d</S><FONT SIZE=20 COLOR=#FF0000 BCOLOR=#00FF00 '
            'SCOLOR=#0000FF NAME="x" BORDER=2 SHADOW=1>e</FONT><NOBR>fg</NOBR>'
            '<RUBY VALUE="r">h</RUBY><DIV ALIGN=RIGHT>i</DIV><INDENT>j<UNDENT><BR CLEAR>'
            '<CLEAR><EVENT VALUE="v" END><WAIT VALUE=5>k</WAIT><VAR NAME=x>'
            '<IMG SRC=p ALIGN=CENTER><HISTCHAR VALUE=x><A HREF=\'y\'>l</A>',
    "blocks": 'a<!-- c <!-- d --> -->b<SCRIPT>s<SCRIPT>t</SCRIPT></SCRIPT>c<STYLE>x</STYLE>'
              '<PRE>\n p  q\n\tr</PRE><TEXTAREA>u\nv</TEXTAREA>"<q>" \\<\\>\\\\\\"\\%\\{\\}',
    "kinsoku": '「あいう」えお、かき。くけこ（さし）すせそ！？ab cd efgh ij',
    "noanchor": 'abc<A>def',
}
for name, text in seeds.items():
    data = text.encode("cp932")
    open(f"{sys.argv[1]}/{name}.bin", "wb").write(b"\x21" + data)
    open(f"{sys.argv[1]}/{name}-wide.bin", "wb").write(b"\xF0" + data)
PY
