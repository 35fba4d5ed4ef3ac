#!/usr/bin/env bash
# Alt+F4 while the machine is measured at start-up is a quit, not a crash: no crash marker stays, and
# the next start keeps the OpenGL back end.
#   quit_while_loading.sh BINARY FILES_TEMPLATE
set -u
bin=$1 template=$2
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; [ -f "$work/Files/Debug.txt" ] && cat -A "$work/Files/Debug.txt" | tail -30; exit 1; }

cp -r "$template" "$work/Files"
rm -f "$work/Files/Setup.ini" "$work/Files/Debug.txt" "$work/Files/278/nuscores.dat" "$work/Files/278/crash.dat"
"$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
win=$(timeout 20 xdotool search --sync --pid $pid --name '^#278 : Vornel Quellor$' | head -n 1)
[ -n "$win" ] || fail "no window"
for _ in $(seq 1 100); do grep -q 'Starting Engine Test' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.05; done
grep -q 'Test Complete' "$work/Files/Debug.txt" && fail "the engine test ended before the quit could be sent"
[ -e "$work/Files/278/crash.dat" ] || fail "no crash marker while the machine is measured"
xdotool mousemove --window "$win" 200 200
xdotool windowfocus --sync "$win"
# Alt+F4, then any key for the farewell page.
for i in $(seq 1 100); do
  kill -0 $pid 2>/dev/null || break
  [ $((i % 30)) -eq 1 ] && { xdotool keydown alt keydown F4; sleep 0.1; xdotool keyup F4 keyup alt; }
  [ $((i % 30)) -eq 15 ] && xdotool key space
  sleep 0.1
done
kill -0 $pid 2>/dev/null && fail "still running after Alt+F4"
wait $pid; status=$?
pid=
[ $status -eq 0 ] || fail "exit status $status"
grep -q 'Test Complete' "$work/Files/Debug.txt" && fail "the quit came only after the engine test"
[ ! -e "$work/Files/278/crash.dat" ] || fail "the crash marker stayed after a quit"

"$bin" --files "$work/Files" > "$work/out.txt" 2>&1 & pid=$!
for _ in $(seq 1 100); do grep -q 'Using' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
grep -q $'^\tUsing OpenGL Driver' "$work/Files/Debug.txt" || fail "the next start did not keep OpenGL"
echo "ok"
