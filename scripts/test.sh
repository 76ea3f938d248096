#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test,
# then builds the fuzz targets with clang and runs each one briefly on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQP_SANITIZE=ON -DQP_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-O1" >/dev/null
cmake --build build/test -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/test && ctest --output-on-failure -j "$jobs" --timeout 900)

scripts/fuzz.sh "${FUZZ_SECONDS:-300}"
