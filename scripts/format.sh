#!/usr/bin/env bash
# Formats the C++ files changed since BASE (default: every C++ file) with the repository's
# .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
  git diff --name-only -z --diff-filter=ACMR "$1" -- '*.cpp' '*.h' | xargs -0 -r clang-format -i
else
  git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' | xargs -0 -r clang-format -i
fi
