#!/usr/bin/env bash
# A first start on a desktop, as a new player meets it: tessaro-host with a
# home folder that holds nothing yet opens the account dialog; the player types
# the address, password and server of an account on a throwaway XMPP server
# (prosody on a loopback port of its own) and presses Enter; the messenger
# window comes up connected, and the profile made for the account can be read
# by its owner only. X input only; what the window shows is read back from its
# --dump file and the screen. A second start finds the account in the profile.
#
#   first_start_test.sh HOST OUT     exit 0: passed, 1: failed, 77: skipped
set -u
HOST=$1
OUT=$2
rm -rf "$OUT"
mkdir -p "$OUT"
command -v prosody >/dev/null 2>&1 || { echo "SKIP: prosody is missing"; exit 77; }
source "$(dirname "$0")/x_helpers.sh"

# The server, as the one the local game starts: one account, no TLS, carbon
# copies and the message archive on, on a port nobody else uses.
SERVER="$OUT/server"
mkdir -p "$SERVER/data/localhost/accounts" "$SERVER/run" "$SERVER/certs"
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
ROOT=
[ "$(id -u)" = 0 ] && ROOT="run_as_root = true"
cat >"$SERVER/prosody.cfg.lua" <<EOF
local base = "$SERVER"
$ROOT
pidfile = base .. "/run/prosody.pid"
data_path = base .. "/data"
certificates = base .. "/certs"
log = { info = base .. "/prosody.log" }
interfaces = { "127.0.0.1" }
c2s_ports = { $PORT }
c2s_direct_tls_ports = { }
s2s_ports = { }
s2s_direct_tls_ports = { }
c2s_require_encryption = false
s2s_require_encryption = false
allow_unencrypted_plain_auth = true
authentication = "internal_plain"
storage = "internal"
modules_enabled = { "roster"; "saslauth"; "disco"; "ping"; "offline"; "carbons"; "mam"; }
modules_disabled = { "s2s"; "s2s_auth_certs"; }
VirtualHost "localhost"
EOF
echo 'return { ["password"] = "secret pw"; };' >"$SERVER/data/localhost/accounts/alice.dat"
timeout 120 prosody --config "$SERVER/prosody.cfg.lua" -F >"$SERVER/stdout.log" 2>&1 &
PROSODY=$!
stop_server() {
  kill "$PROSODY" 2>/dev/null
  wait "$PROSODY" 2>/dev/null
}
trap 'cleanup; stop_server' EXIT
shows "$SERVER/prosody.log" "Activated service 'c2s' on [127.0.0.1]:$PORT" ||
  { fail "prosody did not listen on port $PORT"; cat "$SERVER/prosody.log"; exit 1; }

# A home with nothing in it: no profile, no data folder.
export HOME="$OUT/home"
unset XDG_DATA_HOME
mkdir -p "$HOME"
PROFILE="$HOME/.local/share/tessaro/Alice.db"
"$HOST" --name Alice --dump "$OUT/Alice.txt" >"$OUT/host.log" 2>&1 &
GAME=$!

SETUP=$(window '^Tessaro: Your Account$' 20) ||
  { fail "the account dialog did not appear"; cat "$OUT/host.log"; exit 1; }
# The address field has the focus; the name field offers the name given.
xdotool windowfocus --sync "$SETUP"
xdotool type --delay 5 "alice@localhost"
xdotool key Tab
xdotool type --delay 5 "secret pw"
xdotool key Tab Tab
xdotool type --delay 5 "127.0.0.1:$PORT"
import -window "$SETUP" "$OUT/setup.png"
xdotool key Return

MAIN=$(window '^Contacts - Alice$' 20) ||
  { fail "the messenger window did not appear after Connect"; cat "$OUT/host.log"; exit 1; }
shows "$OUT/Alice.txt" "control 901 Alice" || fail "the messenger window does not name Alice"
shows "$OUT/Alice.txt" "control 904 Connection: online" || fail "the messenger window is not online"
import -window "$MAIN" "$OUT/messenger.png"
if [ -f "$PROFILE" ]; then
  mode=$(stat -c %a "$PROFILE")
  [ "$mode" = 600 ] || fail "the profile $PROFILE has mode $mode, not 600"
else
  fail "no profile was made at $PROFILE"
fi

stop_host() {
  kill "$GAME"
  wait "$GAME"
  local status=$?
  GAME=
  [ "$status" = 0 ] || fail "tessaro-host ended with status $status"
  grep -v '^$' "$OUT/host.log" && fail "tessaro-host wrote errors"
}
stop_host

# The next start finds the account in the profile: no dialog, online at once.
rm -f "$OUT/Alice.txt"
"$HOST" --name Alice --dump "$OUT/Alice.txt" >"$OUT/host.log" 2>&1 &
GAME=$!
window '^Contacts - Alice$' 20 >/dev/null || fail "the second start showed no messenger window"
shows "$OUT/Alice.txt" "control 904 Connection: online" || fail "the second start is not online"
xdotool search --onlyvisible --name '^Tessaro: Your Account$' >/dev/null &&
  fail "the second start asked for the account again"
stop_host
finish
