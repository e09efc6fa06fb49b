#!/usr/bin/env bash
# names_test.sh TOP WORK: the naming check passes on a file of this tree that
# follows the convention, and fails on a copy of it with a misnamed function
# planted, naming the function.
set -u
TOP=$1
WORK=$2
CHECK="$TOP/scripts/check_names.sh"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

rm -rf "$WORK" "$WORK-build"
mkdir -p "$WORK"
(cd "$TOP" && tar --exclude='./build*' --exclude=./.git -cf - .) | tar -C "$WORK" -xf -

bash "$CHECK" "$WORK" "$WORK-build" -- game/game.cpp >"$WORK.out" 2>&1 ||
  fail "the file as it is: $(cat "$WORK.out")"

printf '%s\n' 'namespace tessaro {' 'int misnamed_function() { return 1; }' '}' >>"$WORK/game/game.cpp"
if bash "$CHECK" "$WORK" "$WORK-build" -- game/game.cpp >"$WORK.out" 2>&1; then
  fail "a misnamed function passed the check"
elif ! grep -q "game/game.cpp:.*'misnamed_function'" "$WORK.out"; then
  fail "the check did not name the misnamed function: $(cat "$WORK.out")"
fi

rm -rf "$WORK" "$WORK-build" "$WORK.out"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "passed"
