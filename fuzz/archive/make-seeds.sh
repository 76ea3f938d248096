#!/usr/bin/env bash
# Makes the seed corpus of the archive fuzz target with quentool: small archives of a few
# kinds of entries. usage: fuzz/archive/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a/sub" "$work/b" "$out"
printf 'hello' >"$work/a/x.txt"
head -c 300 /dev/zero >"$work/a/sub/zeros.bin"
printf 'plain' >"$work/b/only.wav"
"$tool" pack "$work/a" -o "$out/two-entries.dat"
"$tool" pack "$work/b" -o "$out/stored.dat"
printf 'MZ' >"$work/prog"
"$tool" pack "$work/b" -o "$out/trailer.bin" --append-to "$work/prog"
