# Shared by the end-to-end scripts (source it after setting bin and template): a scratch folder that
# is removed at exit together with a program still running, failure reports that show the end of the
# program's log, real key presses, the window's keyboard focus, starting the game on a copy of the built Files/ tree, and waiting
# for it to end.
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/Files/Debug.txt" ] && tr -d '\r' < "$work/Files/Debug.txt" | tail -n 30
  [ -s "$work/out.txt" ] && { echo "-- output:"; tail -n 20 "$work/out.txt"; }
  exit 1
}
# A key held for a few frames, through XTEST (the window must have the focus).
press() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; sleep 0.3; }

# As a player would: the pointer leaves the window and comes back onto it at window pixel ($1, $2),
# and the window ($win) takes the keyboard focus. Keys then go through XTEST (see press): key events
# sent straight to a window are ignored by the program.
focus_window() {
  xdotool mousemove 0 0
  sleep 0.2
  xdotool mousemove --window "$win" "$1" "$2"
  xdotool windowfocus --sync "$win"
}

# A fresh copy of the Files/ tree in $work/Files, without the player's files of the build.
copy_files() {
  cp -r "$template" "$work/Files"
  rm -f "$work/Files/Setup.ini" "$work/Files/Debug.txt" "$work/Files/278/nuscores.dat" "$work/Files/"*.png
}

# Starts the program on $work/Files (extra arguments are passed on) and waits for its window (win),
# the end of loading and the title screen's slide-in.
start_program() {
  "$bin" --files "$work/Files" "$@" > "$work/out.txt" 2>&1 & pid=$!
  win=$(timeout 30 xdotool search --sync --pid $pid --name '^#278 : Vornel Quellor$' | head -n 1)
  [ -n "$win" ] || fail "no window titled '#278 : Vornel Quellor'"
  for _ in $(seq 1 300); do grep -q 'Finished Loading' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
  sleep 3.5
}

# The program must end within $1 tenths of a second, with status 0; $2 says after what.
expect_exit_0() {
  for _ in $(seq 1 "$1"); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "still running $2"
  wait $pid
  local status=$?
  pid=
  [ $status -eq 0 ] || fail "exit status $status $2"
}
