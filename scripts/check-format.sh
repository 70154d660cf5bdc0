#!/usr/bin/env bash
# Checks that every C++ source follows the repository's .clang-format files.
#   bash scripts/check-format.sh         report the files that differ
#   bash scripts/check-format.sh --fix   reformat them
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang-format

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run --Werror "${sources[@]}" 2>"$report"; then
  grep -E ': (warning|error): ' "$report" | cut -d: -f1 | sort -u | sed 's/^/  /' >&2
  echo "FAIL: these files differ from .clang-format (bash scripts/check-format.sh --fix)" >&2
  exit 1
fi
echo "format: every source follows .clang-format"
