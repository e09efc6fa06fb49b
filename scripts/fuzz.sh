#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (every library instrumented
# and checked by AddressSanitizer and UBSan, in build-fuzz/) and runs each for
# a bounded time from its seed corpus in tests/fuzz/corpus/. Prints each
# target's executions and coverage; fails when a target finds a fault (the
# input that caused it is kept in build-fuzz/findings/).
#   scripts/fuzz.sh                  every target for 60 s
#   scripts/fuzz.sh --seconds 600    longer
#   scripts/fuzz.sh --total 540      share 540 s among the targets
#   scripts/fuzz.sh --only frames    one target (may be repeated)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
total=0
only=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --total) total="$2"; shift 2 ;;
    --only) only+=("$2"); shift 2 ;;
    *) echo "usage: $0 [--seconds N | --total N] [--only TARGET]..." >&2; exit 2 ;;
  esac
done

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed; nothing fuzzed" >&2
  exit 1
fi

targets=(frames lib_file text_board game_windows load_game resource_script images
         profile_database script xmpp_stanza game_snapshot trusted_certificate xmpp_peers)
if [ ${#only[@]} -gt 0 ]; then targets=("${only[@]}"); fi
if [ "$total" -gt 0 ]; then seconds=$(( total / ${#targets[@]} )); fi
[ "$seconds" -ge 1 ] || seconds=1

dir=build-fuzz
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTESSARO_LIBFUZZER=ON -DTESSARO_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" \
  --target "${targets[@]/#/tessaro_fuzz_}"

# Absolute: some targets work in a folder of their own.
work="$PWD/$dir/fuzz-run"
findings="$PWD/$dir/findings"
mkdir -p "$findings"
failed=0
printf '%-18s %12s %10s %8s  %s\n' target executions exec/s cov result
for target in "${targets[@]}"; do
  rm -rf "$work/$target"
  mkdir -p "$work/$target"
  cp -r "tests/fuzz/corpus/$target/." "$work/$target/"
  log="$work/$target.log"
  status=0
  # -rss_limit_mb stays under the machine's share; a hang of 30 s is a finding.
  "$dir/tests/fuzz/tessaro_fuzz_$target" "$work/$target" -max_total_time="$seconds" \
    -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1 || true)
  cov=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FAULT (exit $status), see $log"
    failed=1
    grep -m1 -A12 'ERROR: \|runtime error' "$log" || tail -20 "$log" || true
  fi
  printf '%-18s %12s %10s %8s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "${cov:-?}" "$result"
done
exit $failed
