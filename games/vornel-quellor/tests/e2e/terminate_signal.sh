#!/usr/bin/env bash
# SIGTERM (a desktop session ending, `kill`) and SIGINT (Ctrl+C in a terminal) end the real program at
# once with status 0, its settings and scores saved and its log closed, as closing the window does,
# without the farewell page waiting for a key.
#   terminate_signal.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 template=$2
source "$(dirname "$0")/lib/common.bash"

cp -r "$template" "$work/Files"
for signal in TERM INT; do
  rm -f "$work/Files/Setup.ini" "$work/Files/Debug.txt" "$work/Files/278/nuscores.dat"
  "$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
  for _ in $(seq 1 300); do grep -q 'Finished Loading' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
  sleep 1
  kill -s $signal $pid
  expect_exit_0 30 "3 s after SIG$signal"
  [ "$(tr -d '\r' < "$work/Files/Debug.txt" | tail -n 1)" = "Play again, soon!!" ] || fail "the log was not closed (SIG$signal)"
  [ -s "$work/Files/Setup.ini" ] || fail "no setup file after SIG$signal"
  [ -f "$work/Files/278/nuscores.dat" ] || fail "no score file after SIG$signal"
done
echo "ok"
