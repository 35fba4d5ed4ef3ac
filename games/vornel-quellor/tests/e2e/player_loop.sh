#!/usr/bin/env bash
# A player's whole loop with the real program, real key presses and clicks: on the title screen Up
# picks Easy, a click on the prompt starts the game, the red code gets through until "Game Over", the
# offered name is rubbed out and another typed over it, and back on the title screen the new record
# is ranked, graphed, and shown in the details box under the pointer. The stored record carries the
# typed name and Easy.
#   player_loop.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 template=$2 probe=$3
source "$(dirname "$0")/lib/common.bash"

copy_files
start_program

# Where the window is: the probe reads pixels of the whole screen. The 800 x 600 window shows the
# 1280 x 960 space at 0.625.
eval "$(xdotool getwindowgeometry --shell "$win")"
wx=$X wy=$Y
# The menu background (title and name entry) is blue; the game is black with green and red code.
blue_at() {  # window x, y
  read -r r g b < <("$probe" pixel $((wx + $1)) $((wy + $2)))
  [ "$b" -gt 40 ] && [ "$b" -gt $((r + 20)) ] && [ "$b" -gt $((g + 20)) ]
}
light_at() {
  read -r r g b < <("$probe" pixel $((wx + $1)) $((wy + $2)))
  [ "$r" -gt 120 ] && [ "$g" -gt 120 ] && [ "$b" -gt 120 ]
}
press() { xdotool keydown "$1"; sleep 0.05; xdotool keyup "$1"; sleep 0.05; }

focus_window 400 50
blue_at 20 500 || fail "no title screen"

press Up  # Medium -> Easy
sleep 0.3
xdotool mousemove --window "$win" 270 300  # the prompt's centre (432, 480)
sleep 0.1
xdotool mousedown 1; sleep 0.1; xdotool mouseup 1

for _ in $(seq 1 100); do blue_at 20 500 || break; sleep 0.1; done
blue_at 20 500 && fail "no game 10 s after the click"
for _ in $(seq 1 1500); do blue_at 20 500 && break; kill -0 $pid 2>/dev/null || break; sleep 0.1; done
blue_at 20 500 || fail "no name entry 150 s after the game started"
sleep 0.5

# "Player" is offered: rub it out (one more Backspace than needed) and type another name, with a
# "|" that a record cannot hold.
for _ in 1 2 3 4 5 6 7; do press BackSpace; done
for k in shift+z e bar d; do press "$k"; done
sleep 0.3
press Return
for _ in $(seq 1 50); do [ -s "$work/Files/278/nuscores.dat" ] && break; sleep 0.1; done
[ -s "$work/Files/278/nuscores.dat" ] || fail "no score file after the name was confirmed"

records=$("$probe" scores "$work/Files/278/nuscores.dat")
[ "$(wc -l <<<"$records")" -eq 1 ] || fail "not one record: $records"
IFS='|' read -r score name badges stamp level mode flags quit <<<"$records"
[ "$name" = "Zed" ] || fail "the record's name is '$name', not the typed 'Zed'"
[ "$mode" = "0" ] || fail "the record's difficulty is $mode, not Easy (0)"
[ "$quit" = "0" ] || fail "the game was not quit, yet the record says so"

# The details box (863..1278 x 231..371) appears while the pointer is over the newest game's column
# of the graph (1247..1266 x 800..950) and goes when it leaves.
sleep 1  # the panel slides in again
light_at 625 187 && fail "a details box before anything was pointed at"
xdotool mousemove --window "$win" 785 562
sleep 0.3
light_at 625 187 || fail "no details box under the pointer"
xdotool mousemove --window "$win" 400 50
sleep 0.3
light_at 625 187 && fail "the details box stayed after the pointer left"

press Escape
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && press space  # a farewell page waits for a key
expect_exit_0 100 "after Escape on the title screen"
[ "$("$probe" scores "$work/Files/278/nuscores.dat")" = "$records" ] || fail "the record changed at exit"
echo "ok"
