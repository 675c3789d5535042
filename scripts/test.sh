#!/bin/sh
# Installs what is missing, builds Kyv twice (release, and debug with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
mkdir -p build
for config in Release Debug; do
  dir=build/$(echo "$config" | tr 'A-Z' 'a-z')
  echo "== $config build in $dir"
  # The benchmarks run no test and measure nothing under the sanitizers: the release build
  # alone builds them, so that they keep compiling.
  # The sources' format, the headers compiling on their own, kyvdash's folder boundaries
  # and the reference pages' typed calls are the same in both trees: they are checked once,
  # in the release tree ('^$' names no test).
  benchmarks=ON
  skip='^$'
  if [ "$config" = Debug ]; then
    benchmarks=OFF
    skip='^(format|headers\..*|kyvdash\.folders|kyvdoc\.typed-calls)$'
  fi
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=$config -DKYV_BUILD_BENCHMARKS=$benchmarks > "$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j2
  # A test that needs a program the machine lacks (a browser, Prometheus, PyQt6) fails
  # here rather than skips: this command installs them all.
  KYV_REQUIRE_TEST_TOOLS=1 QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$(pwd)/cmake/lsan.supp:print_suppressions=0" \
    ctest --test-dir "$dir" -j2 --output-on-failure -E "$skip"
done
