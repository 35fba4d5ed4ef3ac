#!/usr/bin/env bash
# A whole game with the real program: a click on the title screen's prompt starts it, the player
# finds glowing targets on the screen and clicks a few of them, then lets the rest fade until the
# lives are gone; Enter takes the offered name, and the finished game is a record of this game's
# score file at once, with the points of the hits. Escape on the title screen and a key on the
# farewell page end the program.
#   play_a_game.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 template=$2 probe=$3
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 $pid 2>/dev/null; rm -rf "$work"' EXIT
scores=$work/Files/279/nuscores.dat
fail() {
  echo "FAIL: $*"
  [ -f "$work/Files/Debug.txt" ] && tr -d '\r' < "$work/Files/Debug.txt" | tail -n 30
  [ -s "$work/out.txt" ] && { echo "-- output:"; tail -n 20 "$work/out.txt"; }
  exit 1
}

cp -r "$template" "$work/Files"
rm -f "$work/Files/Setup.ini" "$work/Files/Debug.txt" "$work/Files/279/nuscores.dat" "$work/Files/"*.png
"$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
win=$(timeout 30 xdotool search --sync --pid $pid --name '^#279 : Sorvel Pimmoth$' | head -n 1)
[ -n "$win" ] || fail "no window titled '#279 : Sorvel Pimmoth'"
for _ in $(seq 1 300); do grep -q 'Finished Loading' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
sleep 3.5

# As a player would: the pointer comes onto the window, which takes the keyboard focus; the 800 x 600
# window shows the 1280 x 960 space, so the prompt's centre (432, 480) is at (270, 300).
xdotool mousemove 0 0
sleep 0.2
xdotool mousemove --window "$win" 270 300
xdotool windowfocus --sync "$win"
xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
sleep 1.5

# A target's bright core: the middle of the bright pixels near the first one found below the top
# band (which holds the score and the lives), in window pixels; nothing when none is up.
eval "$(xdotool getwindowgeometry --shell "$win")"
find_target() {
  "$probe" area "$X" "$((Y + 70))" 800 530 | awk -v top=70 '
    { if ($1 + $2 + $3 >= 420) { n++; px[n] = (NR - 1) % 800; py[n] = int((NR - 1) / 800) } }
    END {
      if (n == 0) exit
      for (i = 1; i <= n; i++)
        if ((px[i] - px[1]) ^ 2 + (py[i] - py[1]) ^ 2 < 45 ^ 2) { sx += px[i]; sy += py[i]; k++ }
      printf "%d %d\n", sx / k, sy / k + top
    }'
}
hits=0
for attempt in $(seq 1 12); do
  read -r tx ty < <(find_target) || { sleep 0.3; continue; }
  xdotool mousemove --window "$win" "$tx" "$ty"
  sleep 0.05
  xdotool mousedown 1; sleep 0.08; xdotool mouseup 1
  hits=$((hits + 1))
  [ $hits -ge 4 ] && break
  sleep 0.4
done
[ $hits -gt 0 ] || fail "no target seen on the screen"

# Then the targets fade; after "Game Over" the name entry offers the last name, and Enter, pressed
# now and then, takes it.
xdotool mousemove --window "$win" 5 5
for i in $(seq 1 900); do
  [ -s "$scores" ] && break
  kill -0 $pid 2>/dev/null || break
  [ $((i % 20)) -eq 0 ] && { xdotool keydown Return; sleep 0.05; xdotool keyup Return; }
  sleep 0.1
done
[ -s "$scores" ] || fail "no score file 90 s after the game started"
sleep 1
xdotool key Escape
for i in $(seq 1 100); do  # a key once the farewell page is up
  kill -0 $pid 2>/dev/null || break
  [ $((i % 20)) -eq 0 ] && xdotool key space
  sleep 0.1
done
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "still running after Escape on the title screen and a key"
wait $pid
status=$?
pid=
[ $status -eq 0 ] || fail "exit status $status"

# One Medium record, not quit, that decodes with this game's key and holds the points of a hit.
records=$("$probe" scores "$scores") || fail "the score file does not decode with this game's key: $records"
[ "$(wc -l <<<"$records")" -eq 1 ] || fail "the score file does not hold one record: $records"
IFS='|' read -r score name _ _ _ mode _ quit <<<"$records"
[ "$score" -ge 10 ] || fail "no points for the clicks on targets: $records"
[ "$name" = Player ] && [ "$mode" = 1 ] && [ "$quit" = 0 ] || fail "not the finished Medium game of Player: $records"
[ -f "$work/Files/278/nuscores.dat" ] && fail "a score file in another game's folder"
echo "ok ($hits clicks, $score points)"
