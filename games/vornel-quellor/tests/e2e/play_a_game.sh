#!/usr/bin/env bash
# A whole game with the real program: a click on the title screen's prompt starts it, the player
# blasts for a moment, the red code gets through until the lives run out, Enter takes the offered
# name, and the finished game is a record in the score file at once; then Escape on the title screen
# and a key on the farewell page end the program.
#   play_a_game.sh BINARY FILES_TEMPLATE
set -u
bin=$1 template=$2
source "$(dirname "$0")/lib/common.bash"

copy_files
start_program

# The 800 x 600 window shows the 1280 x 960 space: the prompt's centre (432, 480) is at (270, 300).
focus_window 270 300
xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
sleep 1
xdotool mousemove --window "$win" 400 400 mousedown 1; sleep 1; xdotool mouseup 1

# After "Game Over" the name entry screen offers the last name; Enter, pressed now and then, takes it.
for i in $(seq 1 900); do
  [ -s "$work/Files/278/nuscores.dat" ] && break
  kill -0 $pid 2>/dev/null || break
  [ $((i % 20)) -eq 0 ] && { xdotool keydown Return; sleep 0.05; xdotool keyup Return; }
  sleep 0.1
done
[ -s "$work/Files/278/nuscores.dat" ] || fail "no score file 90 s after the game started"
sleep 1
xdotool key Escape
for i in $(seq 1 100); do  # a key once the farewell page is up
  kill -0 $pid 2>/dev/null || break
  [ $((i % 20)) -eq 0 ] && xdotool key space
  sleep 0.1
done
expect_exit_0 0 "after Escape on the title screen and a key"

# The credentials line and one record line, upper-case hexadecimal ended by CR LF.
scores=$(tr -d '\r' < "$work/Files/278/nuscores.dat")
[ "$(wc -l <<<"$scores")" -eq 2 ] || fail "the score file does not hold one record: $scores"
grep -qvE '^[0-9A-F]+$' <<<"$scores" && fail "the score file is not scrambled hexadecimal"
grep -q 'Starting Engine Test' "$work/Files/Debug.txt" || fail "no engine test in the log"
echo "ok"
