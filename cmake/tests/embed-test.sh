#!/bin/sh
# embed-test.sh SOURCE WORK: builds a parent project that embeds the source tree with
# add_subdirectory, with GoogleTest and Google Benchmark unavailable, and creates every
# control through it.
set -eu
source=$(cd "$1" && pwd)
work=$2
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
log=$work/step.log
. "$source/cmake/tests/steps.sh"

quiet cmake -S "$source/cmake/tests/parent" -B "$work/parent" -DKYV_SOURCE_DIR="$source" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
quiet cmake --build "$work/parent" -j2 --target parent_app
quiet "$work/parent/parent_app"
grep -q "^event NormalOPs$" "$log" || { cat "$log"; fail "parent_app"; }
[ "$(grep -c "^created " "$log")" = 8 ] || { cat "$log"; fail "parent_app did not create every control"; }
echo "PASSED"
