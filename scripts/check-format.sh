#!/bin/sh
# Checks that the project's C++ files follow .clang-format; names each file that does not.
# Exits 77 (skipped) when clang-format is not installed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null 2>&1; then
  echo "clang-format is not installed: the format is not checked"
  exit 77
fi
files=$(find . \( -path './build*' -o -path './.git' \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sort)
unformatted=0
for file in $files; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file (clang-format -i $file)"
    unformatted=$((unformatted + 1))
  fi
done
if [ "$unformatted" -gt 0 ]; then
  echo "$unformatted files do not follow .clang-format"
  exit 1
fi
echo "every C++ file follows .clang-format"
