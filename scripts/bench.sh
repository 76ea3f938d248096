#!/usr/bin/env bash
# Builds an optimised configuration and runs every benchmark program; each prints its
# figures next to the anchors it measures in the same run. Extra arguments go to every
# program (for example --benchmark_filter=Alpha).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQP_TESTS=OFF >/dev/null
cmake --build build/bench -j "$jobs"
status=0
while IFS= read -r program; do
  echo "== ${program#build/bench/}"
  "$program" "$@" || status=1
done < <(find build/bench/bench -type f -name 'bench_*' -perm -u+x | sort)
exit "$status"
