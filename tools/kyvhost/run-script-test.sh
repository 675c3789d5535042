#!/bin/sh
# run-script-test.sh KYVHOST SCRIPT [OPTION...]: runs SCRIPT in a scratch copy of its
# folder, with kyvhost's OPTIONs (such as --registry FILE), and compares kyvhost's output,
# followed by "exit STATUS", with SCRIPT's .out file.
set -u
kyvhost=$1
script=$2
shift 2
dir=$(dirname "$script")
name=$(basename "$script" .kyv)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$dir"/. "$work"/
cd "$work" || exit 1
{ "$kyvhost" "$@" "$name.kyv"; echo "exit $?"; } > actual.out 2>&1
if ! diff -u "$name.out" actual.out; then
  echo "FAILED: $script" >&2
  exit 1
fi
