#!/usr/bin/env bash
# Checks C++ files against the repository's .clang-format: the files changed since BASE when one
# is given (scripts/check-format.sh origin/main), else every C++ file of the repository.
# Prints the files that differ and exits 1 when there is any; scripts/format.sh fixes them.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed" >&2
  exit 1
fi
if [ $# -gt 0 ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h')
elif git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -t files < <(find src tools tests bench fuzz -name '*.cpp' -o -name '*.h')
fi
bad=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "check-format: $f is not formatted (scripts/format.sh)"
    bad=1
  fi
done
exit $bad
