#!/usr/bin/env bash
# Fails when ctest skipped a test that scripts/expected_skips.txt does not list.
#   scripts/check_skips.sh JUNIT [EXPECTED]
# JUNIT is ctest's --output-junit report; EXPECTED lists the tests that may
# skip, one a line: the ctest name, then the reason ('#' starts a comment).
# ctest counts a skipped test as passed, and a skip hides a missing tool or
# file, so CI allows only the skips listed with their reason.
set -euo pipefail
junit=$1
expected_file=${2:-"$(dirname "$0")/expected_skips.txt"}
if [ ! -s "$junit" ]; then
  echo "no test report in $junit" >&2
  exit 1
fi
expected=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$expected_file" | awk '{print $1}' | sort -u)
skipped=$(grep -o '<testcase name="[^"]*"[^>]*status="\(skipped\|notrun\|disabled\)"' "$junit" |
  sed 's/<testcase name="\([^"]*\)".*/\1/' | sort -u || true)
unexpected=$(comm -23 <(printf '%s\n' "$skipped" | sed '/^$/d') <(printf '%s\n' "$expected" | sed '/^$/d'))
echo "skipped tests: $(printf '%s\n' "$skipped" | sed '/^$/d' | wc -l) ($(echo $skipped))"
if [ -n "$unexpected" ]; then
  echo "Tests skipped that are not expected to (see $expected_file):" >&2
  printf '  %s\n' $unexpected >&2
  exit 1
fi
