# Shared by the desktop tests: a virtual display of their own and the ways a
# person looks at and works the windows on it (xdotool clicks and keys,
# ImageMagick for pixels). Sourced with OUT (the output folder) set; defines
# fail() and counts failures. The caller sets GAME to the pid of what it
# started; it is stopped with the display on exit.
CONVERT=/usr/bin/convert
for tool in Xvfb xdotool import "$CONVERT"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is missing"
    exit 77
  fi
done
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A display of our own: Xvfb names the first free one.
exec 5>"$OUT/display"
Xvfb -displayfd 5 -screen 0 2560x1600x24 -nolisten tcp -noreset >"$OUT/xvfb.log" 2>&1 &
XVFB=$!
exec 5>&-
for _ in $(seq 100); do [ -s "$OUT/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$OUT/display")"
GAME=
cleanup() {
  [ -n "$GAME" ] && kill "$GAME" 2>/dev/null && wait "$GAME" 2>/dev/null
  kill "$XVFB" 2>/dev/null
  wait "$XVFB" 2>/dev/null
}
trap cleanup EXIT

# The id of the visible window whose title matches, waiting up to $2 s (10).
window() {
  local until=$((SECONDS + ${2:-10}))
  while [ "$SECONDS" -lt "$until" ]; do
    local id
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.01
  done
  return 1
}
# Waits up to $2 s until the output of command $3... differs from $1 (and is
# not empty, as when a picture could not be taken) and prints it; prints the
# last output and returns 1 when it never did.
changed() {
  local old=$1 until=$((SECONDS + $2)) seen
  shift 2
  while :; do
    seen=$("$@")
    if [ -n "$seen" ] && [ "$seen" != "$old" ]; then
      echo "$seen"
      return 0
    fi
    if [ "$SECONDS" -ge "$until" ]; then
      echo "$seen"
      return 1
    fi
    sleep 0.02
  done
}
# A checksum of the screen's pixels in a rectangle: X Y W H (screen
# coordinates). The screen, not a window: pop-up menus are windows of their own.
screen_area() {
  import -window root -crop "${3}x${4}+${1}+${2}" +repage "$OUT/area.png" &&
    "$CONVERT" "$OUT/area.png" -format '%#' info:
}
# The part of game window $1's board under the left of its menu strip, where
# the Game menu drops down.
under_menu() {
  local x y
  read -r x y _ _ <<<"$(geometry "$1")"
  screen_area $((x + SCALE * 2)) $((y + SCALE * 27)) $((SCALE * 80)) $((SCALE * 40))
}
# Chooses an item of game window $1's Game menu by its access key $2 and
# prints the id of the window titled $3 that it opens; the menu is opened
# again if a busy machine lost the keys.
menu_box() {
  for _ in 1 2 3 4 5; do
    xdotool windowfocus --sync "$1"
    local closed
    closed=$(under_menu "$1")
    xdotool key alt+g
    # The key goes to the menu once it has dropped down.
    if changed "$closed" 3 under_menu "$1" >/dev/null; then
      xdotool key "$2"
      local until=$((SECONDS + 3))
      while [ "$SECONDS" -lt "$until" ]; do
        local id
        id=$(xdotool search --onlyvisible --name "$3" 2>/dev/null | head -n1)
        [ -n "$id" ] && echo "$id" && return 0
        sleep 0.05
      done
    fi
    xdotool key Escape  # a menu still open
  done
  return 1
}
# Waits up to 5 s until FILE holds TEXT.
shows() {
  local until=$((SECONDS + 5))
  while [ "$SECONDS" -lt "$until" ]; do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.01
  done
  return 1
}
# The colour "r,g,b" at a window pixel.
pixel() {
  [ -n "$1" ] || return 1  # import would wait for a window to be picked by hand
  import -window "$1" "$OUT/pixel.png" &&
    "$CONVERT" "$OUT/pixel.png" -crop "1x1+$2+$3" \
      -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
# The window pixel of a board point (column letter, row from the bottom): the
# client area starts under the 25-pixel menu strip; 3 pixels off the crossing
# lie on the stone's body, away from the last-move ring. All of it is SCALE
# times larger on an enlarged window.
SCALE=1
point() {
  local col=$(($(printf '%d' "'$1") - 97)) row=$((15 - $2))
  echo "$((SCALE * (19 + 17 * col + ${3:-0}))) $((SCALE * (25 + 15 + 17 * row + ${3:-0})))"
}
# "x y w h" of a window on the screen.
geometry() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^(X|Y|WIDTH|HEIGHT)=/{printf "%s ", $2}'
}
# Fails unless box window $1 leaves the board of game window $2 in view.
off_board() {
  local bx by bw bh gx gy gw gh
  read -r bx by bw bh <<<"$(geometry "$1")"
  read -r gx gy gw gh <<<"$(geometry "$2")"
  # The board: client pixels 11..270 across and 7..266 down, under the menu.
  local left=$((gx + SCALE * 11)) top=$((gy + SCALE * 32))
  local right=$((gx + SCALE * 270)) bottom=$((gy + SCALE * 291))
  if [ "$bx" -lt "$right" ] && [ $((bx + bw)) -gt "$left" ] &&
    [ "$by" -lt "$bottom" ] && [ $((by + bh)) -gt "$top" ]; then
    fail "$3 covers the board ($bx,$by ${bw}x$bh over $left,$top-$right,$bottom)"
  fi
}
# Fails unless box window $1 is wide enough for the window manager to write
# its caption $2 whole in the title bar (bold sans, as the box measures it)
# beside an icon and three buttons, whose room is taken as 100 pixels.
wide_for_caption() {
  local font text w
  font=$(fc-match -f '%{file}' 'sans:bold') &&
    text=$("$CONVERT" -font "$font" -pointsize $((SCALE * 16)) label:"$2" -trim -format '%w' info:) ||
    { fail "cannot measure the caption \"$2\""; return; }
  read -r _ _ w _ <<<"$(geometry "$1")"
  [ "$w" -ge $((text + SCALE * 100)) ] ||
    fail "the box \"$2\" is $w pixels wide: its caption needs $text and the title bar's buttons"
}
# A checksum of the text of a window's log pane as shown (not its scroll bar).
log_pixels() {
  import -window "$1" "$OUT/log.png" &&
    "$CONVERT" "$OUT/log.png" -crop "$((SCALE * 220))x$((SCALE * 240))+$((SCALE * 272))+$((SCALE * 32))" \
      +repage -format '%#' info:
}
# The darkest grey (0 black to 255 white) of the text in a window's log pane:
# black text, or grey while the pane is drawn disabled.
log_darkest() {
  import -window "$1" "$OUT/log.png" &&
    "$CONVERT" "$OUT/log.png" -crop "$((SCALE * 200))x$((SCALE * 240))+$((SCALE * 276))+$((SCALE * 36))" \
      +repage -colorspace Gray -format '%[fx:int(255*minima)]' info:
}
# Checksums of the tracks of the log pane's vertical and horizontal scroll
# bars. The pane paints its bars with its text: when a bar has changed, the
# text shown is the text the bar was drawn for.
log_vbar_pixels() {
  import -window "$1" "$OUT/bar.png" &&
    "$CONVERT" "$OUT/bar.png" -crop "$((SCALE * 12))x$((SCALE * 200))+$((SCALE * 496))+$((SCALE * 50))" \
      +repage -format '%#' info:
}
log_hbar_pixels() {
  import -window "$1" "$OUT/bar.png" &&
    "$CONVERT" "$OUT/bar.png" -crop "$((SCALE * 180))x$((SCALE * 10))+$((SCALE * 290))+$((SCALE * 278))" \
      +repage -format '%#' info:
}
click() {
  read -r x y <<<"$(point "$2" "$3")"
  xdotool mousemove --window "$1" "$x" "$y" click 1
}
expect_stone() {  # WINDOW COL ROW COLOUR NAME
  read -r x y <<<"$(point "$2" "$3" 3)"
  local seen= until=$((SECONDS + 5))
  while [ "$SECONDS" -lt "$until" ]; do
    seen=$(pixel "$1" "$x" "$y")
    [ "$seen" = "$4" ] && return 0
    sleep 0.05
  done
  fail "$5: $2$3 shows $seen, not $4"
}

# Ends the test: exit 1 when a check failed.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; screenshots in $OUT"
    exit 1
  fi
  echo "passed; screenshots in $OUT"
  exit 0
}
