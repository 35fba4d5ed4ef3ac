#!/usr/bin/env bash
# Nothing the player owns is lost to a kill -9: the real program is killed with SIGKILL at random
# moments (in games, as games end and their records are saved, during the exit) many times over, on
# the same Files/ folder. After every kill the score file decodes whole and holds every game that had
# finished before the kill, and the next run leaves no temporary file behind.
#   kill_anytime.sh BINARY FILES_TEMPLATE PROBE [ROUNDS]
set -u
bin=$1 template=$2 probe=$3 rounds=${4:-10}
source "$(dirname "$0")/lib/common.bash"
killer=  # the background kill of the current round
# The shared clean-up, and the killer too when it is still waiting.
trap '[ -n "$pid" ] && kill -9 $pid 2>/dev/null; [ -n "$killer" ] && kill $killer 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL (round $round): $*"; [ -f "$work/Files/Debug.txt" ] && tr -d '\r' < "$work/Files/Debug.txt" | tail -n 15; exit 1; }
scores=$work/Files/278/nuscores.dat
count() {  # records in the score file; fails the test when the file does not decode
  [ -f "$scores" ] || { echo 0; return; }
  local out
  out=$("$probe" scores "$scores") || { echo "damaged"; return; }
  [ -z "$out" ] && echo 0 || wc -l <<<"$out"
}
alive() { kill -0 $pid 2>/dev/null; }
press() { alive && xdotool keydown "$1"; sleep 0.15; alive && xdotool keyup "$1"; sleep 0.2; }

cp -r "$template" "$work/Files"
rm -f "$work/Files/Setup.ini" "$work/Files/Debug.txt" "$scores" "$work/Files/278/crash.dat"
RANDOM=278
finished=0  # games whose record was on disk before the kill
for round in $(seq 1 "$rounds"); do
  rm -f "$work/Files/Debug.txt"  # so that "Finished Loading" is this run's
  "$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
  win=$(timeout 30 xdotool search --sync --pid $pid --name '^#278 : Vornel Quellor$' | head -n 1)
  [ -n "$win" ] || fail "no window"
  for _ in $(seq 1 300); do grep -q 'Finished Loading' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
  sleep 3.5
  # The kill comes somewhere in the next 14 s: in a game, at its end, in the name entry, as the record
  # is saved, on the title screen or during the exit.
  delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", r / 32767 * 14 }')
  (sleep "$delay"; kill -9 $pid 2>/dev/null) & killer=$!
  focus_window 270 300 2>/dev/null  # the program may be gone already
  for game in 1 2; do
    alive || break
    xdotool mousemove --window "$win" 270 300; xdotool mousedown 1; sleep 0.15; xdotool mouseup 1  # start
    sleep 1.5
    press Escape; sleep 0.3; press Up; press space  # pause, Quit
    sleep 2.2
    press Return  # the offered name
    before=$finished
    for _ in $(seq 1 20); do
      n=$(count)
      [ "$n" = damaged ] && fail "the score file does not decode while the game runs"
      [ "$n" -gt "$before" ] && { finished=$n; break; }
      alive || break
      sleep 0.1
    done
  done
  if alive; then press Escape; sleep 0.5; press space; fi  # the exit, with its farewell page
  wait $killer 2>/dev/null; killer=
  for _ in $(seq 1 50); do alive || break; sleep 0.1; done
  kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null; pid=

  n=$(count)
  [ "$n" = damaged ] && fail "the score file does not decode after a kill at ${delay} s"
  [ "$n" -ge "$finished" ] || fail "the score file lost games: $n records, $finished had finished (kill at ${delay} s)"
  finished=$n
done

# One more run, ended normally: it reads the folder as the kills left it and leaves no temporary file.
round=last
rm -f "$work/Files/Debug.txt"
"$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
for _ in $(seq 1 300); do grep -q 'Finished Loading' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
grep -q 'damaged lines dropped' "$work/Files/Debug.txt" && fail "the score file had damaged lines"
leftovers=$(find "$work/Files" -name '*.tmp*')
[ -z "$leftovers" ] || fail "temporary files left behind: $leftovers"
kill -TERM $pid; wait $pid; status=$?
pid=
[ $status -eq 0 ] || fail "the last run ended with status $status"
[ "$(count)" -ge "$finished" ] || fail "the last run lost games"
echo "ok: $rounds kills, $finished games kept"
