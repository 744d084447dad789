#!/usr/bin/env bash
# Checks that every C++ source under src/, tests/ and bench/ is laid out as .clang-format
# says. Prints each file that is not and fails when there is one; `clang-format -i FILE`
# lays it out.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 1; }
bad=0
while IFS= read -r -d '' file; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || { echo "$file: not laid out as .clang-format says"; bad=1; }
done < <(find src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if ((bad)); then
    echo "check-format: run clang-format -i on the files above"
    exit 1
fi
echo "check-format: every source follows .clang-format"
