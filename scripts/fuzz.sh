#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them on their seed corpora (fuzz/*/corpus/NAME),
# sharing one fixed budget of seconds (default 300) among them, so a new target does not make
# the run longer. A crash or a sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
budget=${1:-300}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQP_FUZZ=ON -DQP_TESTS=OFF -DQP_BENCH=OFF >/dev/null
targets=$(cd fuzz && find . -mindepth 2 -name '*_fuzz.cpp' -printf '%f\n' | sed 's/_fuzz\.cpp$//' | sort)
[ -n "$targets" ] || { echo "fuzz: no targets"; exit 0; }
seconds=$((budget / $(echo "$targets" | wc -l)))
[ "$seconds" -ge 5 ] || seconds=5
cmake --build build/fuzz -j "$(nproc)" --target $(printf 'fuzz_%s ' $targets)
failed=0
for t in $targets; do
  work=build/fuzz/corpus/$t
  mkdir -p "$work"
  seeds=$(find fuzz -type d -path "*/corpus/$t" | head -n 1)
  echo "fuzz: $t for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 build/fuzz/fuzz_$t -max_total_time="$seconds" -rss_limit_mb=2048 \
      -timeout=10 -artifact_prefix=build/fuzz/ -print_final_stats=0 "$work" ${seeds:+"$seeds"} \
      >build/fuzz/$t.log 2>&1; then
    tail -n 60 build/fuzz/$t.log
    echo "fuzz: $t FAILED"
    failed=1
  fi
done
exit $failed
