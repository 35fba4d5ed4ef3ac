# Sourced by the scripts that play an installed game of the series through real X events (xdotool):
# the series side by side, and the Debian packages in a fresh root. The sourcing script defines
# fail MESSAGE and sets log (the game's Debug.txt) before it calls these.

press() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; sleep 0.3; }
click() { xdotool mousemove --window "$win" "$1" "$2"; sleep 0.15; xdotool mousedown 1; sleep 0.1; xdotool mouseup 1; }
wait_log() {  # text, seconds
  for _ in $(seq 1 $(($2 * 10))); do
    { tr -d '\r' < "$log"; } 2>/dev/null | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# play_to_a_record NAME PROBE SCORE_FILE LINES: in the window $win of a game whose title screen has
# just loaded, one game (the prompt clicked, then the pause menu's Quit, then Enter for the offered
# name) to a record stored in SCORE_FILE, which must then decode with the game's key (PROBE scores)
# to LINES records (the file may have held some before), one of them marked as quit.
play_to_a_record() {
  local name=$1 probe=$2 scores=$3 lines=$4 records i
  sleep 3.5
  xdotool mousemove 0 0; sleep 0.2
  xdotool mousemove --window "$win" 270 300
  xdotool windowfocus --sync "$win"
  xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
  sleep 2
  press Escape; sleep 0.5; press Up; press space
  for i in $(seq 1 300); do
    [ "$("$probe" scores "$scores" 2>/dev/null | wc -l)" -eq "$lines" ] && break
    [ $((i % 20)) -eq 0 ] && press Return
    sleep 0.1
  done
  records=$("$probe" scores "$scores") || fail "$name: the score file does not decode with its game's key"
  [ "$(wc -l <<<"$records")" -eq "$lines" ] || fail "$name: no record of the game played: $records"
  grep -q '|1$' <<<"$records" || fail "$name: the quit game has no quit mark: $records"
}

# quit_game NAME PID: Escape on the title screen, a key for the farewell page; the program must end
# with status 0.
quit_game() {
  local name=$1 pid=$2 i
  xdotool mousemove --window "$win" 300 150
  press 1
  press Escape
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    [ $((i % 20)) -eq 0 ] && press space  # the farewell page waits for a key
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "$name: still running after Escape"
  wait "$pid" || fail "$name: exit status $?"
}
