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
# One clang-format for every file: it names each place that is not formatted.
# shellcheck disable=SC2086
if report=$(clang-format --dry-run --Werror $files 2>&1); then
  echo "every C++ file follows .clang-format"
  exit 0
fi
unformatted=$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ -z "$unformatted" ]; then
  printf '%s\n' "$report"
  echo "clang-format failed"
  exit 1
fi
for file in $unformatted; do echo "not formatted: $file (clang-format -i $file)"; done
echo "$(printf '%s\n' "$unformatted" | wc -l) files do not follow .clang-format"
exit 1
