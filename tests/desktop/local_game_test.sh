#!/usr/bin/env bash
# Plays the local game in real windows on a virtual display, as a person
# would: clicks on the board, a chat line typed, a swap question answered
# with Tab and Enter, the log read back by wheel and keys and sideways by its bar and a
# tilted wheel, Set Timer, the fifth-move proposals and white's choice, a
# take-back, a forbidden move that ends the game, Save and Load Game, the game
# window closed with Escape; then the opening again with the windows at scale
# 2 and the swap answered Yes.
# Checks the pixels at the clicked crossings, that question boxes leave the
# board in view, the log and labels the windows show (read back through the
# players' --dump files) and leaves screenshots of both scales in OUT.
#
#   local_game_test.sh HOST OUT     exit 0: passed, 1: failed, 77: skipped
set -u
HOST=$1
OUT=$2
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.txt "$OUT"/*.db "$OUT"/*.lib "$OUT"/display
source "$(dirname "$0")/x_helpers.sh"

"$HOST" --profiles "$OUT" --dump "$OUT" >"$OUT/game.log" 2>&1 &
GAME=$!

ALICE=$(window '^Bob$') || { fail "Alice's game window (titled Bob) did not appear"; exit 1; }
BOB=$(window '^Alice$') || { fail "Bob's game window (titled Alice) did not appear"; exit 1; }
window '^Contacts - Alice$' >/dev/null || fail "Alice's messenger window did not appear"
window '^Contacts - Bob$' >/dev/null || fail "Bob's messenger window did not appear"

# The labels a person sees.
shows "$OUT/Alice.txt" "control 901 Alice" || fail "Alice's messenger window does not name her"
shows "$OUT/Bob.txt" "control 1009 &sim" || fail "Bob's game window has no sim button"
shows "$OUT/Bob.txt" "control 1000 0" || fail "Bob's own clock label is missing"
# Both are connected through the local XMPP server, and say so.
shows "$OUT/Alice.txt" "control 904 Connection: online" || fail "Alice's window does not show her online"

# Space, with the game window itself focused, switches Bob to the simulation
# board: his click there stays on his side. Space again switches back.
xdotool windowfocus --sync "$BOB"
xdotool key space
click "$BOB" a 1
read -r x y <<<"$(point a 1 3)"
changed 128,128,128 5 pixel "$BOB" "$x" "$y" >/dev/null ||
  fail "Space did not switch Bob to the simulation"
expect_stone "$ALICE" a 1 128,128,128 "Alice's board during Bob's simulation"
xdotool key space
expect_stone "$BOB" a 1 128,128,128 "Bob's board after the simulation"
xdotool windowfocus --sync "$ALICE"  # Bob's window is no longer the active one

# Alice places the first stone and becomes black.
click "$ALICE" h 8
expect_stone "$ALICE" h 8 0,0,0 "Alice's board"
expect_stone "$BOB" h 8 0,0,0 "Bob's board"
shows "$OUT/Bob.txt" "Bob plays WHITE; Alice plays BLACK" || fail "Bob's log does not tell the sides"
# The move arrived while Bob's window was not active: the window manager is
# asked to draw his attention to it.
if command -v xprop >/dev/null; then
  xprop -id "$BOB" WM_HINTS | grep -qi urgency || fail "Bob's window asks for no attention"
fi
[ "$(xdotool getwindowname "$BOB")" = Alice ] || fail "Bob's window title is not the peer's name alone"

# Bob chats: a click into the chat line, typing, Enter.
xdotool mousemove --window "$BOB" 200 308 click 1
xdotool windowfocus --sync "$BOB"
xdotool type --delay 15 'hello Alice'
xdotool key Return
shows "$OUT/Alice.txt" "Bob: hello Alice" || fail "the chat line did not reach Alice's log"
shows "$OUT/Bob.txt" "Bob: hello Alice" || fail "the chat line is not in Bob's own log"

# Black's other two opening stones; white is asked whether to swap.
click "$ALICE" h 9
expect_stone "$BOB" h 9 255,255,255 "Bob's board"
# The third stone lands on Bob's board while Alice's window covers it, and
# the swap question opens at once: once uncovered, Bob's board shows it.
read -r ax ay _ _ <<<"$(geometry "$ALICE")"
read -r bx by _ _ <<<"$(geometry "$BOB")"
at=$(geometry "$ALICE")
xdotool windowmove "$ALICE" $((bx + 60)) $((by + 40))
changed "$at" 5 geometry "$ALICE" >/dev/null || fail "Alice's window did not move over Bob's"
xdotool windowraise "$ALICE"
click "$ALICE" i 9
BOX=$(window '^Swap sides\?$') || fail "no swap question"
at=$(geometry "$ALICE")
xdotool windowmove "$ALICE" "$ax" "$ay"
changed "$at" 5 geometry "$ALICE" >/dev/null || fail "Alice's window did not move back"
expect_stone "$BOB" i 9 0,0,0 "Bob's board, uncovered while the swap question is open"
[ -n "$BOX" ] && off_board "$BOX" "$BOB" "the swap question"
import -window root "$OUT/screen_swap_question.png"
# A chat line that arrives while Bob's box is open is held, not lost.
xdotool mousemove --window "$ALICE" 200 308 click 1
xdotool windowfocus --sync "$ALICE"
xdotool type --delay 15 'your move'
xdotool key Return
# Tab moves the keyboard from "Yes" to "No", and Enter presses what has it.
if [ -n "$BOX" ]; then
  xdotool windowfocus --sync "$BOX"
  xdotool key Tab Return
  for _ in $(seq 300); do xdotool search --onlyvisible --name '^Swap sides' >/dev/null || break; sleep 0.01; done
fi
shows "$OUT/Bob.txt" "Alice: your move" || fail "the chat line sent during the box was lost"
# The box greyed Bob's log; with the box gone its text is black again.
[ "$(changed 128 5 log_darkest "$BOB")" = 0 ] || fail "Bob's log stays grey after the box"
# No: Bob stays white and plays the fourth stone.
click "$BOB" g 10
expect_stone "$ALICE" g 10 255,255,255 "Alice's board"
import -window "$ALICE" "$OUT/alice_game.png"
import -window "$BOB" "$OUT/bob_game.png"
import -window root "$OUT/screen.png"

# Bob's log fills up; he reads it back with the wheel and with keys, and it
# stays where he put it while a line arrives, until he goes back to the end.
xdotool mousemove --window "$BOB" 200 308 click 1
xdotool windowfocus --sync "$BOB"
for n in $(seq 20); do
  xdotool type --delay 5 "line $n"
  xdotool key Return
done
shows "$OUT/Alice.txt" "Bob: line 20" || fail "Bob's chat lines did not all arrive"
# Bob's own log has the line once his dump does: the window painted it before
# the dump was written. A picture taken before it reached the screen only
# makes the check below easier to pass, never fail.
shows "$OUT/Bob.txt" "Bob: line 20" || fail "Bob's own log lacks his last line"
newest=$(log_pixels "$BOB")
# Two notches of the wheel, each seen on the screen before the next, so that
# what Bob reads back is where both put it.
xdotool mousemove --window "$BOB" 400 150 click 4
notch=$(changed "$newest" 5 log_pixels "$BOB")
xdotool click 4
back=$(changed "$notch" 5 log_pixels "$BOB") || fail "the wheel did not scroll Bob's log back"
bar=$(log_vbar_pixels "$BOB")
xdotool mousemove --window "$ALICE" 200 308 click 1
xdotool windowfocus --sync "$ALICE"
xdotool type --delay 5 'still there?'
xdotool key Return
shows "$OUT/Bob.txt" "Alice: still there?" || fail "Alice's line did not arrive"
# The new line moves the thumb of Bob's bar (one line more); the text painted
# with it must be what he read.
changed "$bar" 5 log_vbar_pixels "$BOB" >/dev/null || fail "Bob's log bar did not take the new line"
[ "$(log_pixels "$BOB")" = "$back" ] || fail "a new line pulled Bob's log away from what he read"
xdotool mousemove --window "$BOB" 400 150 click 1  # the log takes the keys
xdotool windowfocus --sync "$BOB"
xdotool key ctrl+End
bottom=$(changed "$back" 5 log_pixels "$BOB") || fail "Ctrl+End did not go to the newest line"
xdotool key Page_Up
changed "$bottom" 5 log_pixels "$BOB" >/dev/null || fail "Page Up did not scroll Bob's log"
import -window "$BOB" "$OUT/bob_log_scrolled.png"
xdotool key ctrl+End
# A word wider than the pane is never split: the log's horizontal bar (its
# right arrow) shows the rest of it.
fits=$(log_hbar_pixels "$BOB")  # every line fits: the thumb fills the bar
xdotool mousemove --window "$BOB" 200 308 click 1
xdotool windowfocus --sync "$BOB"
xdotool type --delay 5 'see-the-long-word-that-does-not-fit-the-log-pane'
xdotool key Return
shows "$OUT/Alice.txt" "see-the-long-word" || fail "Bob's long word did not arrive"
# The thumb shrinks once the word is shown in Bob's log.
changed "$fits" 5 log_hbar_pixels "$BOB" >/dev/null || fail "Bob's log bar did not take the long word"
before=$(log_pixels "$BOB")
# Four presses on the right arrow, each seen before the next.
xdotool mousemove --window "$BOB" 486 282
sideways=$before
for press in 1 2 3 4; do
  xdotool click 1
  sideways=$(changed "$sideways" 5 log_pixels "$BOB") ||
    fail "the horizontal bar did not scroll Bob's log sideways (press $press)"
done
xdotool mousemove --window "$BOB" 400 150 click --repeat 2 6  # the wheel tilted left
changed "$sideways" 5 log_pixels "$BOB" >/dev/null || fail "the sideways wheel did not scroll Bob's log"
import -window "$BOB" "$OUT/bob_log_sideways.png"

# Set Timer: its box asks inside itself, beside the board, with the typing
# going straight into its field; then the clock runs down.
TIMER=$(menu_box "$ALICE" t '^Enter number of seconds$') || fail "Set Timer asked nothing"
if [ -n "$TIMER" ]; then
  off_board "$TIMER" "$ALICE" "the Set Timer box"
  import -window "$TIMER" "$OUT/set_timer.png"
  xdotool type --delay 15 '30'
  xdotool key Return
fi
shows "$OUT/Alice.txt" "control 1000 2" || shows "$OUT/Alice.txt" "control 1001 2" ||
  fail "no clock runs down after Set Timer"

# The fifth move: Alice (black) offers two proposals, Bob (white) takes one
# and the other leaves both boards.
PROPOSAL=0,128,0 EMPTY=128,128,128 BLACK=0,0,0 WHITE=255,255,255
click "$ALICE" k 10
expect_stone "$BOB" k 10 $PROPOSAL "Bob's board, the first proposal"
click "$ALICE" e 4
expect_stone "$BOB" e 4 $PROPOSAL "Bob's board, the second proposal"
expect_stone "$ALICE" e 4 $PROPOSAL "Alice's board, the second proposal"
import -window "$BOB" "$OUT/bob_proposals.png"
click "$BOB" k 10
for who in ALICE BOB; do
  expect_stone "${!who}" k 10 $BLACK "$who's board, the chosen proposal"
  expect_stone "${!who}" e 4 $EMPTY "$who's board, the proposal not chosen"
done
# Bob takes his stone back with a click on it while he waits, and plays
# elsewhere.
click "$BOB" b 2
expect_stone "$ALICE" b 2 $WHITE "Alice's board"
click "$BOB" b 2
for who in ALICE BOB; do expect_stone "${!who}" b 2 $EMPTY "$who's board after the take-back"; done
click "$BOB" c 2
expect_stone "$ALICE" c 2 $WHITE "Alice's board"
click "$ALICE" l 10
expect_stone "$BOB" l 10 $BLACK "Bob's board"
click "$BOB" d 2
expect_stone "$ALICE" d 2 $WHITE "Alice's board"
# j10 makes two open threes (j10-k10-l10 and h8-i9-j10): forbidden to black,
# and white's side calls the game.
click "$ALICE" j 10
expect_stone "$BOB" j 10 $BLACK "Bob's board, the forbidden stone"
for who in Alice Bob; do
  shows "$OUT/$who.txt" "WHITE win, forbidden move" || fail "$who's window shows no result after the forbidden move"
done
import -window "$ALICE" "$OUT/alice_forbidden.png"

# Save Game under a name typed over the offered one, then Load Game of that
# file, both through the dialogs; the side question of the load is answered
# with Enter, and Bob's window takes the game.
if SAVE=$(menu_box "$ALICE" a '^Save As$'); then
  off_board "$SAVE" "$ALICE" "the Save As dialog"
  xdotool type --delay 10 "$OUT/game1.lib"
  xdotool key Return
else
  fail "Save Game showed no dialog"
fi
for _ in $(seq 100); do [ -s "$OUT/game1.lib" ] && break; sleep 0.05; done
[ -s "$OUT/game1.lib" ] || fail "Save Game did not write the typed name"
# The 20-byte header, nine stones of two bytes and "Alice vs Bob" with its zero.
size=$(stat -c %s "$OUT/game1.lib" 2>/dev/null)
[ "$size" = 51 ] || fail "the saved game is $size bytes, not the 51 of its nine stones"
if OPEN=$(menu_box "$ALICE" l '^Open$'); then
  import -window "$OPEN" "$OUT/load_dialog.png"
  xdotool type --delay 10 "$OUT/game1.lib"
  xdotool key Return
  if SIDE=$(window '^Choose your side$'); then
    off_board "$SIDE" "$ALICE" "the side question"
    wide_for_caption "$SIDE" "Choose your side"
    xdotool key Return
  else
    fail "Load Game asked no side"
  fi
else
  fail "Load Game showed no dialog"
fi
shows "$OUT/Bob.txt" "Game loaded" || fail "the loaded game did not reach Bob"

# The game that ended is kept once (the load of the same game keeps nothing
# more): Earlier Games lists it, Open shows it on the what-if board, and Left
# and End step back and on over its last stone.
if EARLIER=$(menu_box "$ALICE" e '^Earlier Games$'); then
  off_board "$EARLIER" "$ALICE" "the Earlier Games box"
  import -window "$EARLIER" "$OUT/earlier_games.png"
  xdotool key Return
  for _ in $(seq 300); do xdotool search --onlyvisible --name '^Earlier Games$' >/dev/null || break; sleep 0.01; done
  shows "$OUT/Alice.txt" "control 1010 Earlier game: Left, Right, Home and End step" || fail "Open did not show the earlier game on the what-if board"
  read -r x y <<<"$(point j 10 3)"
  xdotool key Left
  changed $BLACK 5 pixel "$ALICE" "$x" "$y" >/dev/null || fail "Left did not step back over j10"
  import -window "$ALICE" "$OUT/alice_stepped.png"
  xdotool key End
  expect_stone "$ALICE" j 10 $BLACK "the earlier game stepped to its end"
  xdotool key space
else
  fail "Earlier Games showed no box"
fi

# Escape hides the game window; the messenger keeps running.
xdotool windowfocus --sync "$ALICE"
xdotool key Escape
for _ in $(seq 300); do xdotool search --onlyvisible --name '^Bob$' >/dev/null || break; sleep 0.01; done
xdotool search --onlyvisible --name '^Bob$' >/dev/null && fail "Escape did not hide the game window"
kill -0 "$GAME" 2>/dev/null || fail "the game ended when a window was hidden"

# Alice's contact menu (a right click on Bob's row) brings the game back.
CONTACTS=$(window '^Contacts - Alice$')
xdotool windowfocus --sync "$CONTACTS"
xdotool key Escape  # Escape does not end the messenger
# The pop-up has no title to wait for: it is seen where it opens, with its
# first item lit at the mouse over Bob's row, which a click selects first.
read -r cx cy _ _ <<<"$(geometry "$CONTACTS")"
popup() { screen_area $((cx + 12)) $((cy + 46)) 44 20; }
unselected=$(popup)
xdotool mousemove --window "$CONTACTS" 30 58 click 1
closed=$(changed "$unselected" 2 popup)  # unchanged when the row was selected already
xdotool click 3
changed "$closed" 5 popup >/dev/null || fail "Alice's contact menu did not open"
import -window root "$OUT/screen_contact_menu.png"
# Enter chooses the lit item, as a click would.
xdotool key Return
AGAIN=$(window '^Bob$') || fail "the contact menu did not bring the game window back"
expect_stone "$AGAIN" h 8 0,0,0 "Alice's board after reopening"

kill "$GAME"
wait "$GAME"
status=$?
GAME=
[ "$status" = 0 ] || fail "the game ended with status $status"
grep -v '^$' "$OUT/game.log" && fail "the players wrote errors"

# The opening again with every window at scale 2: the board, stones and
# clicks where they were, twice as large.
rm -f "$OUT"/*.db "$OUT"/*.txt
SCALE=2
TESSARO_SCALE=2 "$HOST" --profiles "$OUT" --dump "$OUT" >"$OUT/game2.log" 2>&1 &
GAME=$!
ALICE=$(window '^Bob$') || fail "Alice's game window did not appear at scale 2"
BOB=$(window '^Alice$') || fail "Bob's game window did not appear at scale 2"
if [ -n "$ALICE" ] && [ -n "$BOB" ]; then
  read -r _ _ w h <<<"$(geometry "$ALICE")"
  [ "$w" = 1044 ] || fail "the game window is $w pixels wide at scale 2, not 1044"
  click "$ALICE" h 8
  expect_stone "$ALICE" h 8 0,0,0 "Alice's board at scale 2"
  expect_stone "$BOB" h 8 0,0,0 "Bob's board at scale 2"
  click "$ALICE" h 9
  click "$ALICE" i 9
  expect_stone "$BOB" i 9 0,0,0 "Bob's board at scale 2"
  if BOX=$(window '^Swap sides\?$'); then
    off_board "$BOX" "$BOB" "the swap question at scale 2"
    import -window root "$OUT/screen_scale2.png"
    # Yes: Bob takes black, and Alice, white now, plays the fourth stone.
    xdotool windowfocus --sync "$BOX"
    xdotool key Return
    shows "$OUT/Alice.txt" "Bob is BLACK now" || fail "Alice's log does not tell of the swap"
    shows "$OUT/Bob.txt" "Alice plays WHITE" || fail "Bob's log does not tell the new sides"
    click "$ALICE" g 10
    expect_stone "$BOB" g 10 255,255,255 "Bob's board, Alice's white stone after the swap"
  else
    fail "no swap question at scale 2"
  fi
  import -window "$ALICE" "$OUT/alice_game_scale2.png"
  # A file dialog opens beside the enlarged window too, not over its board.
  if OPEN=$(menu_box "$ALICE" l '^Open$'); then
    off_board "$OPEN" "$ALICE" "the Open dialog at scale 2"
    xdotool key Escape
  else
    fail "Load Game showed no dialog at scale 2"
  fi
fi
kill "$GAME"
wait "$GAME"
GAME=
grep -v '^$' "$OUT/game2.log" && fail "the players wrote errors at scale 2"

finish
