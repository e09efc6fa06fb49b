#!/usr/bin/env bash
# What two players cost while nobody plays, with and without TLS: each host's
# CPU and wake-ups over SECONDS (default 60), measured from /proc by
# tessaro_bench_idle, with the players in real windows on a virtual display.
#
#   scripts/idle.sh BUILD [SECONDS]     e.g. scripts/idle.sh build-perf-release
set -u
BUILD=${1:?usage: scripts/idle.sh BUILD [SECONDS]}
SECONDS_TO_WATCH=${2:-60}
HOST="$BUILD/apps/tessaro-host"
BENCH="$BUILD/bench/tessaro_bench_idle"
for program in "$HOST" "$BENCH"; do
  [ -x "$program" ] || { echo "idle.sh: $program is not built" >&2; exit 1; }
done
status=0
for mode in "" --tls; do
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$BENCH" "$HOST" $mode "$SECONDS_TO_WATCH" || status=1
done
exit $status
