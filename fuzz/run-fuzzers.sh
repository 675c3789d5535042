#!/bin/sh
# Fuzzes each target with libFuzzer for SECONDS (default 60) each. Installs clang when it
# is missing, builds in build/fuzz, starts from the seeds in fuzz/corpus/<target> (the
# inputs it finds collect in build/fuzz/corpus-<target>), and copies every crashing input
# to fuzz/crashes/<target>, where the test suite replays it. Inputs may grow to 300 KB:
# enough for nesting, lines and documents beyond every limit the readers set. Each target
# runs in a scratch folder (kyvhost_fuzz makes its own folders for the files of its
# scripts there), removed afterwards.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh
if ! command -v clang++ > /dev/null || ! dpkg-query -W libclang-rt-14-dev > /dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-14-dev
fi
dir=build/fuzz
targets="bag_fuzz control_fuzz kyvhost_fuzz prom_text_fuzz line_readers_fuzz layout_fuzz"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKYV_LIBFUZZER=ON -DKYV_WITH_QT=ON > /dev/null
# shellcheck disable=SC2086 # one word a target
cmake --build "$dir" -j2 --target $targets
status=0
for target in $targets; do
  work=$(mktemp -d)
  mkdir -p "$dir/corpus-$target"
  echo "== $target for ${seconds}s"
  (cd "$work" && TMPDIR="$work" LSAN_OPTIONS="suppressions=$OLDPWD/cmake/lsan.supp" "$OLDPWD/$dir/bin/$target" \
      -max_total_time="$seconds" -max_len=300000 -timeout=10 -rss_limit_mb=2048 \
      "$OLDPWD/$dir/corpus-$target" "$OLDPWD/fuzz/corpus/$target") || status=1
  for crash in "$work"/crash-* "$work"/timeout-* "$work"/leak-* "$work"/oom-*; do
    [ -e "$crash" ] && cp "$crash" "fuzz/crashes/$target/" && echo "saved fuzz/crashes/$target/$(basename "$crash")"
  done
  rm -rf "$work"
done
exit $status
