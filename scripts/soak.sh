#!/bin/sh
# The soak run: KyvDemo on Qt's offscreen platform with all six feeds at 1 ms intervals for
# SECONDS (default 600), building it first when needed. Prints the demo's report (resident
# memory, feed ticks and status line every 10 s, then every control's answer) and a summary:
# the resident memory after warm-up (the first minute, or the first fifth of a shorter run)
# and at the end, the drift between them and the highest rise above the warm-up figure.
# Exits 1 when memory rises more than 1 MiB after warm-up, the status line shows an error or
# a control does not answer. Not part of the test suite: it takes ten minutes.
#
#   scripts/soak.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-600}
case "$seconds" in '' | *[!0-9]*) echo "usage: scripts/soak.sh [SECONDS]" >&2; exit 2 ;; esac
[ "$seconds" -ge 10 ] || { echo "soak.sh: run at least 10 seconds" >&2; exit 2; }
limit_kib=1024
warmup=60
[ "$seconds" -ge 300 ] || warmup=$((seconds / 5))

scripts/install-deps.sh
dir=build/release
mkdir -p build
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j2 > /dev/null

log=$dir/soak.log
status_file=$dir/soak.status
echo "== KyvDemo --soak $seconds --interval 1 (log: $log)"
{ QT_QPA_PLATFORM=offscreen "$dir/bin/KyvDemo" --soak "$seconds" --interval 1 --report 10 2>&1; echo $? > "$status_file"; } | tee "$log"
demo_status=$(cat "$status_file")

# Report lines: "soak <seconds> s  rss <KiB> KiB  ticks <n>  status: <text>".
awk -v warmup="$warmup" -v limit="$limit_kib" -v demo="$demo_status" '
  $1 == "soak" && $3 == "s" && $4 == "rss" {
    n++; t[n] = $2 + 0; rss[n] = $5 + 0
    status = $0; sub(/^.*status: ?/, "", status)
  }
  END {
    if (n == 0) { print "no report from KyvDemo"; exit 1 }
    w = 0
    for (i = 1; i <= n; i++) if (!w && t[i] >= warmup) w = i
    if (!w) w = n
    peak = rss[w]
    for (i = w; i <= n; i++) if (rss[i] > peak) peak = rss[i]
    drift = rss[n] - rss[w]; rise = peak - rss[w]
    print ""
    print "== summary"
    printf "RSS every 10 s (KiB):"
    for (i = 1; i <= n; i++) printf " %s", rss[i]
    print ""
    printf "warm-up RSS  (%.1f s): %d KiB\n", t[w], rss[w]
    printf "final RSS  (%.1f s): %d KiB\n", t[n], rss[n]
    printf "drift after warm-up: %+d KiB; highest rise above it: %d KiB (limit %d KiB)\n", drift, rise, limit
    printf "status line at the end: %s\n", status == "" ? "(empty)" : status
    failed = 0
    if (drift > limit || rise > limit) { print "FAILED: resident memory grew after warm-up"; failed = 1 }
    if (status != "") { print "FAILED: the status line shows an error"; failed = 1 }
    if (demo != 0) { print "FAILED: KyvDemo reports a control that does not answer, or an error (exit " demo ")"; failed = 1 }
    if (!failed) print "PASSED: memory flat after warm-up, no error in the status line, every control answers"
    exit failed
  }' "$log"
