#!/usr/bin/env bash
# Builds the tools and the demo game, then runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQP_TESTS=OFF -DQP_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
out=build/demo
rm -rf "$out"
mkdir -p "$out"
build/release/tools/quentool pack demo/game -o "$out/game.dat"
echo "demo: packed demo/game into $out/game.dat:"
build/release/tools/quentool list "$out/game.dat"
build/release/tools/quentool verify "$out/game.dat"
