#!/usr/bin/env bash
# Checks every C++ file in the repository against .clang-format and names
# the files that differ. Fix them with:
#   git ls-files '*.cc' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if git ls-files -z '*.cc' '*.h' | xargs -0 clang-format --dry-run --Werror 2>"$report"; then
  echo "format: every C++ file follows .clang-format"
else
  grep -o '^[^:]*\.\(cc\|h\):' "$report" | sort -u | sed 's/:$//;s/^/format: differs: /'
  exit 1
fi
