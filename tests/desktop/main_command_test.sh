#!/usr/bin/env bash
# The README's main command on a desktop, from a clean state: `bash
# scripts/run.sh` with a display opens Alice's and Bob's windows, connected
# through its own XMPP server, and a short game is played to its result with
# the mouse and keys alone (X input; what the windows show is read back from
# the players' --dump files and the screen's pixels).
#
#   main_command_test.sh BUILD OUT     exit 0: passed, 1: failed, 77: skipped
set -u
BUILD=$1
OUT=$2
TOP=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$OUT"
mkdir -p "$OUT"
source "$(dirname "$0")/x_helpers.sh"

# The state folder does not exist yet: the command makes it.
STATE="$OUT/state/run"
TESSARO_BUILD_DIR="$BUILD" bash "$TOP/scripts/run.sh" --state "$STATE" --dump "$OUT" \
  >"$OUT/game.log" 2>&1 &
GAME=$!

# The first run may still be building and starting the server.
ALICE=$(window '^Bob$' 60) || { fail "Alice's game window (titled Bob) did not appear"; cat "$OUT/game.log"; exit 1; }
BOB=$(window '^Alice$') || { fail "Bob's game window (titled Alice) did not appear"; exit 1; }
[ -d "$STATE/xmpp" ] || fail "the state folder $STATE was not made"
for who in Alice Bob; do
  shows "$OUT/$who.txt" "control 904 Connection: online" || fail "$who is not shown online"
done

BLACK=0,0,0 WHITE=255,255,255 PROPOSAL=0,128,0 EMPTY=128,128,128
# Alice's first stone makes her black; she places white's first stone and her
# third; Bob keeps white (Escape answers the swap question with No).
shows "$OUT/Alice.txt" "control 1010 Place the first stone to play black" ||
  fail "Alice's status line does not invite the first stone"
click "$ALICE" h 8
expect_stone "$BOB" h 8 $BLACK "Bob's board, the first stone"
shows "$OUT/Bob.txt" "control 1010 Opening: Alice places the first three stones" ||
  fail "Bob's status line does not tell the opening"
click "$ALICE" h 9
expect_stone "$BOB" h 9 $WHITE "Bob's board, the second stone"
click "$ALICE" i 9
expect_stone "$BOB" i 9 $BLACK "Bob's board, the third stone"
if BOX=$(window '^Swap sides\?$'); then
  xdotool windowfocus --sync "$BOX"
  xdotool key Escape
else
  fail "Bob was not asked whether to swap"
fi
click "$BOB" b 14
expect_stone "$ALICE" b 14 $WHITE "Alice's board, the fourth stone"
# Two fifth-move proposals; white takes j10, the other leaves both boards.
click "$ALICE" j 10
expect_stone "$BOB" j 10 $PROPOSAL "Bob's board, the first proposal"
click "$ALICE" e 4
expect_stone "$BOB" e 4 $PROPOSAL "Bob's board, the second proposal"
click "$BOB" j 10
for who in ALICE BOB; do
  expect_stone "${!who}" j 10 $BLACK "$who's board, the chosen proposal"
  expect_stone "${!who}" e 4 $EMPTY "$who's board, the proposal not chosen"
done
# Black builds the diagonal g7 to k11 while white plays elsewhere.
click "$BOB" c 14
expect_stone "$ALICE" c 14 $WHITE "Alice's board"
click "$ALICE" k 11
expect_stone "$BOB" k 11 $BLACK "Bob's board"
click "$BOB" d 14
expect_stone "$ALICE" d 14 $WHITE "Alice's board"
click "$ALICE" g 7
expect_stone "$BOB" g 7 $BLACK "Bob's board, the fifth black stone"
for who in Alice Bob; do
  shows "$OUT/$who.txt" "BLACK win, 5 in row" || fail "$who's window shows no result"
  shows "$OUT/$who.txt" "control 1010 Game over: BLACK win, 5 in row. Reset starts a new game" ||
    fail "$who's status line does not say that the game is over"
done
import -window "$ALICE" "$OUT/alice_result.png"
import -window "$BOB" "$OUT/bob_result.png"

kill "$GAME"
wait "$GAME"
status=$?
GAME=
[ "$status" = 0 ] || fail "the main command ended with status $status"
grep -v '^$' "$OUT/game.log" && fail "the main command wrote errors"
finish
