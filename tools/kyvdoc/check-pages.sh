#!/bin/sh
# check-pages.sh KYVDOC FOLDER: the reference pages KYVDOC writes now must be the ones
# committed in FOLDER.
set -u
kyvdoc=$1
committed=$2
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
"$kyvdoc" "$fresh" || exit 1
if ! diff -ru "$committed" "$fresh"; then
  echo "FAILED: the reference pages in $committed are stale; rewrite them with" >&2
  echo "  cmake --build build/release --target reference-pages" >&2
  exit 1
fi
