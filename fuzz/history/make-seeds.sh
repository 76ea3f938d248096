#!/usr/bin/env bash
# Makes the seed corpus of the history fuzz target: the text tests write histories of every
# stream version, each behind the target's mode byte.
# usage: fuzz/history/make-seeds.sh TEXT_TEST_BINARY OUTDIR
set -euo pipefail
out=$(realpath -m "$2")
mkdir -p "$out"
QP_HISTORY_SEEDS="$out" "$1" --gtest_filter='History.StreamsOfEveryVersionReadBackToTheSameBytes'
