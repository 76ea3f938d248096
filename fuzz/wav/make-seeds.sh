#!/usr/bin/env bash
# Makes the seed corpus of the wave fuzz target with quentool: plain waves of each size of
# sample, extra chunks, and damaged records. usage: fuzz/wav/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
n=0
seed() {
  n=$((n + 1))
  printf '%b' "$1" >"s$n.txt"
  "$tool" media wave "s$n.txt" -o "$out/seed-$n.wav"
}
seed 'format 2 44100 16\nnoise 5 20000 1\n'
seed 'format 1 22050 8\ntone 440 10 9000\n'
seed 'format 2 22050 8\nchunk LIST 0102030405\nsamples 0 255 128 7\nchunk smpl 00\n'
seed 'format 1 44100 16\nsamples 1 2 3\ndatasize 99999\n'
seed 'format 2 8000 16\nblockalign 3\nsamples 1 2 3 4\n'
seed 'fmtraw 0100 0000 44ac0000 10b10200 0400 1000\n'
seed 'fmtraw feff 0200 44ac0000 10b10200 0400 1000 1600 1000 03000000 0100 0000 0000 1000 8000 00aa 0038 9b71\n'
