#!/usr/bin/env bash
# The online page with the real program against the real score server: started with --online, with
# the credentials already in the score file and one local Medium record, the player presses 2 and
# clicks "Login". The server registers the user and receives the record; "Refresh Scores" brings it
# back into the table the page shows. Then against a server that takes the connection and never
# answers: the page comes back within the time limit with "WRONG PASSWORD".
#   online_page.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 template=$2 probe=$3
server_bin=$(dirname "$bin")/server/vq-score-server
work=$(mktemp -d)
pid= server= silent=
# A game told to stop shows its farewell page and waits for a key: it is made to stop after a moment.
cleanup() {
  for p in $pid $server $silent; do kill $p 2>/dev/null; done
  [ -n "$pid" ] && sleep 1 && kill -9 $pid 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/Files/Debug.txt" ] && tr -d '\r' < "$work/Files/Debug.txt" | tail -n 12
  [ -f "$work/server.err" ] && tail -n 5 "$work/server.err"
  exit 1
}
[ -x "$server_bin" ] || fail "no score server at $server_bin"
command -v curl > /dev/null || fail "curl is missing (scripts/install-deps.sh --test installs it)"

# The 800 x 600 window shows the 1280 x 960 space at 0.625; on a screen below 900 wide the panel is
# 415 wide at x 860: "Login" answers at (910..1110, 930..960), "Refresh Scores" at (860..1275,
# 120..170), the table's first row is 371..388 from x 869 and the failure line starts at y 718.
press() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; sleep 0.05; }  # held for a few frames
click() { xdotool mousemove --window "$win" "$1" "$2"; sleep 0.15; xdotool mousedown 1; sleep 0.1; xdotool mouseup 1; }
# How many pixels of a window rectangle (x, y, w, h) pass an awk test on r, g, b.
count() {
  "$probe" area $((wx + $1)) $((wy + $2)) "$3" "$4" | awk "{ r = \$1; g = \$2; b = \$3 } $5 { n++ } END { print n + 0 }"
}
wait_log() {  # text, seconds
  for _ in $(seq 1 $(($2 * 10))); do
    { tr -d '\r' < "$work/Files/Debug.txt"; } 2>/dev/null | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Starts the game against HOST:PORT and brings up its online page.
start_game() {
  rm -f "$work/Files/Debug.txt"
  "$bin" --files "$work/Files" --online "$1" > "$work/out.txt" 2>&1 & pid=$!
  win=$(timeout 30 xdotool search --sync --pid $pid --name '^#278 : Vornel Quellor$' | head -n 1)
  [ -n "$win" ] || fail "no window"
  wait_log 'Finished Loading' 30 || fail "no end of loading"
  sleep 3.5  # the loading time, then the title screen slides in
  eval "$(xdotool getwindowgeometry --shell "$win")"
  wx=$X wy=$Y
  xdotool mousemove --window "$win" 300 150
  xdotool windowfocus --sync "$win"
  press 2
  sleep 0.5
}

stop_game() {
  xdotool mousemove --window "$win" 300 150
  press Escape
  for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && press space  # a farewell page waits for a key
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "still running after Escape on the title screen"
  wait $pid; status=$?
  pid=
  [ $status -eq 0 ] || fail "exit status $status"
}

cp -r "$template" "$work/Files"
rm -f "$work/Files/Setup.ini" "$work/Files/Debug.txt"
"$probe" make-login-scores "$work/Files/278/nuscores.dat" E2ePlayer secret42 4321 || fail "no score file"
printf 'Good luck out there\nTables reset never\n' > "$work/motd.txt"
"$server_bin" --port 0 --bind 127.0.0.1 --db "$work/scores.db" --motd "$work/motd.txt" \
  > "$work/server.out" 2> "$work/server.err" & server=$!
for _ in $(seq 1 50); do grep -q ' port ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\),.*/\1/p' "$work/server.out")
[ -n "$port" ] || fail "the score server did not start: $(cat "$work/server.out" "$work/server.err")"

# ---- A real server ---------------------------------------------------------------------------------
start_game "127.0.0.1:$port"
[ "$(count 543 232 50 11 'r > 150 && g > 150 && b > 150')" -eq 0 ] || fail "a table row before the login"
click 620 591
wait_log 'Logged in to the score server as E2ePlayer' 15 || fail "no login"
wait_log 'Online table 1: none yet, local best offered' 15 || fail "no refresh after the login"
grep -qx 'registered E2ePlayer' "$work/server.err" || fail "the server did not register the user"
grep -q '^stored 4321 by E2ePlayer in week 278 table 1' "$work/server.err" || fail "the server got no upload"
table=$(curl -s "http://127.0.0.1:$port/enscore/tables/278/1.txt")
grep -q '^4321|Local Hero|0|[0-9]*|0|1|0|0$' <<<"$table" || fail "the server's table lacks the record: $table"

# The first refresh found no table; the next brings the record back onto the page.
sleep 0.3
[ "$(count 543 232 50 11 'r > 150 && g > 150 && b > 150')" -eq 0 ] || fail "a table row before the refresh"
click 660 92
wait_log 'Online table 1: 1 entries' 15 || fail "no table after Refresh Scores"
xdotool mousemove --window "$win" 300 150
sleep 0.5
[ "$(count 543 232 50 11 'r > 150 && g > 150 && b > 150')" -gt 10 ] || fail "the record is not on the page"
stop_game
records=$("$probe" scores "$work/Files/278/nuscores.dat")
[ "$(wc -l <<<"$records")" -eq 1 ] || fail "the score file holds more than the local record: $records"

# ---- A server that never answers ---------------------------------------------------------------------
"$probe" silent-server > "$work/silent.out" & silent=$!
for _ in $(seq 1 50); do [ -s "$work/silent.out" ] && break; sleep 0.1; done
silent_port=$(head -n 1 "$work/silent.out")
[ -n "$silent_port" ] || fail "no silent server"
start_game "127.0.0.1:$silent_port"
started=$(date +%s)
click 620 591
wait_log 'Login to the score server failed: WRONG PASSWORD' 20 || fail "no failure 20 s after the click"
took=$(($(date +%s) - started))
[ $took -le 10 ] || fail "the login took $took s against a silent server"
echo "a silent server: WRONG PASSWORD after $took s"
sleep 0.5
[ "$(count 544 449 150 20 'r > 150 && g < 80 && b < 80')" -gt 20 ] || fail "no red failure line on the page"
stop_game
echo "ok"
