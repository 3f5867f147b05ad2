#!/usr/bin/env bash
# Checks that every C++ file git tracks reads as .clang-format says; names the
# files that do not and exits 1. With --fix, rewrites them instead.
# Usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14  # Debian 12's; another version breaks lines differently
command -v "$format" >/dev/null || { echo "check-format: $format is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }
fix=false
[ "${1:-}" = "--fix" ] && fix=true
unformatted=0
while IFS= read -r -d '' file; do
  if $fix; then
    "$format" -i "$file"
  elif ! "$format" "$file" | cmp -s "$file" -; then
    echo "$file"
    unformatted=$((unformatted + 1))
  fi
done < <(git ls-files -z '*.cpp' '*.h')
if [ "$unformatted" -gt 0 ]; then
  echo "check-format: $unformatted files differ from .clang-format (scripts/check-format.sh --fix rewrites them)" >&2
  exit 1
fi
