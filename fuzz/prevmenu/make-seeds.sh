#!/usr/bin/env bash
# Makes the seed corpus of the preview-menu layout fuzz target with quentool: a layout of each
# version, names with parent-folder prefixes, groups and an empty layout.
# usage: fuzz/prevmenu/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
for v in 100 101 102 103 104 105 106; do
  {
    echo "version $v"
    echo "size 320 240"
    echo 'button "start"'
    echo "pos 10 20"
    echo "overlay_pos 1 2"
    echo 'picture "..\..\pic\start.brx"'
    echo "capture_mask 1"
    echo 'hover "start_h.brx"'
    echo 'cursor "\cursor\hand.cur"'
    if [ "$v" -gt 100 ]; then echo 'disabled "c:start_d.brx"'; fi
    if [ "$v" -gt 103 ]; then echo 'checked "..\on.brx"'; echo "group 1"; fi
    if [ "$v" -gt 105 ]; then echo 'group_click_overlay "x.brx"'; fi
    echo 'button "quit"'
    echo "pos 10 60"
    if [ "$v" -gt 103 ]; then echo "group 1"; fi
  } >"v$v.txt"
  "$tool" prevmenu "v$v.txt" -o "$out/v$v.qpm"
done
printf 'version 106\nsize 0 0\n' >empty.txt
"$tool" prevmenu empty.txt -o "$out/empty.qpm"
