#!/usr/bin/env bash
# A copy of Files/ without its Common/ folder: the program still runs and ends, keeps the player's
# score file in the game's folder inside the copy, and writes nothing above the copy.
#   without_common_folder.sh BINARY FILES_TEMPLATE
set -u
bin=$1 template=$2
source "$(dirname "$0")/lib/common.bash"
# Its own failure report: the whole log and what the copy holds.
fail() { echo "FAIL: $*"; [ -f "$work/Files/Debug.txt" ] && cat -A "$work/Files/Debug.txt"; ls -laR "$work" | head -40; exit 1; }

# Runs the program until the title screen, then ends it with Escape (and a key for the farewell page).
run_once() {
  "$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
  local win
  win=$(timeout 20 xdotool search --sync --pid $pid --name '^#278 : Vornel Quellor$' | head -n 1)
  [ -n "$win" ] || fail "no window"
  for _ in $(seq 1 150); do grep -q 'Finished Loading' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
  sleep 3
  focus_window 200 200
  xdotool key Escape
  for i in $(seq 1 100); do
    kill -0 $pid 2>/dev/null || break
    [ $((i % 30)) -eq 0 ] && xdotool key space
    sleep 0.1
  done
  kill -0 $pid 2>/dev/null && fail "still running 10 s after Escape"
  wait $pid; local status=$?
  pid=
  [ $status -eq 0 ] || { cat "$work/out.txt"; fail "exit status $status"; }
}

mkdir "$work/Files"
cp -r "$template/278" "$work/Files/278"
rm -f "$work/Files/278/nuscores.dat"
run_once
[ -s "$work/Files/278/nuscores.dat" ] || fail "the first run wrote no score file in Files/278/"
touch -d '2001-01-01' "$work/Files/278/nuscores.dat"
run_once
[ "$(find "$work/Files/278/nuscores.dat" -newermt '2002-01-01')" ] || fail "the score file was not rewritten"
grep -q $'^\tSFX(' "$work/Files/Debug.txt" || fail "the game's sound effects were not found"
[ "$(ls "$work" | sort | tr '\n' ' ')" = "Files out.txt " ] || fail "something was written beside Files/: $(ls "$work")"
[ ! -e "$work/Files/278/crash.dat" ] || fail "the crash marker stayed"
grep -q $'^\tUsing OpenGL Driver' "$work/Files/Debug.txt" || fail "the second run fell back from OpenGL"
echo "ok"
