#!/usr/bin/env bash
# Makes the seed corpus of the map file fuzz target with quentool: every shape, a star wound
# twice, degenerate polygons and coordinates at the ends of the range.
# usage: fuzz/map/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
cat >shapes.txt <<'TXT'
rect door 10 20 30 40
ellipse window 50 5 60 15
poly roof 0,0 100,0 50,-20
TXT
cat >star.txt <<'TXT'
poly star 3,0 5,5 0,2 6,2 1,5
rect dot 2 2 2 2
TXT
cat >edges.txt <<'TXT'
poly line 0,0 9,9
poly:200 wide -2147483648,0 2147483647,0 0,2147483647
ellipse all -2147483648 -2147483648 2147483647 2147483647
rect back 9 9 1 1
TXT
for f in shapes star edges; do
  "$tool" map encode $f.txt -o "$out/$f.map"
done
printf '\0\0\0\0' >"$out/empty.map"
