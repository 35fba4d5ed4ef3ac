#!/usr/bin/env bash
# The real program under the test run's X server: it opens its window, Escape on the title screen
# shows the farewell page, which waits for a key and then ends the program with status 0, and the
# log and setup file are where the player expects them.
#   quit_from_title.sh BINARY FILES_TEMPLATE
set -u
bin=$1 template=$2
source "$(dirname "$0")/lib/common.bash"

copy_files
# The title screen comes after the loading time; then one Escape press ends the program.
start_program
focus_window 200 200
xdotool key Escape
# The farewell page comes up and stays until a key is pressed.
for _ in $(seq 1 100); do grep -q 'Play again, soon!!' "$work/Files/Debug.txt" 2>/dev/null && break; sleep 0.1; done
grep -q 'Play again, soon!!' "$work/Files/Debug.txt" || fail "no farewell 10 s after Escape"
sleep 1
kill -0 $pid 2>/dev/null || fail "ended without waiting on the farewell page"
xdotool key space
expect_exit_0 100 "10 s after a key on the farewell page"

log=$(tr -d '\r' < "$work/Files/Debug.txt")
[ "$(head -n 1 <<<"$log")" = "Tolvaner's Plondrix Engine" ] || fail "log does not begin with the banner"
[ "$(sed -n 3p <<<"$log")" = "Week #278" ] || fail "no week line"
[ "$(tail -n 1 <<<"$log")" = "Play again, soon!!" ] || fail "log does not end with the farewell"
grep -q $'\r$' "$work/Files/Debug.txt" || fail "log lines do not end with CR LF"
setup=$(tr -d '\r' < "$work/Files/Setup.ini")
[ "$(head -n 5 <<<"$setup" | tr '\n' '/')" = "[Graphics]/Fullscreen = False/GFX Engine = OpenGL/Width=800/Height=600/" ] \
  || fail "setup file does not hold the defaults: $setup"
echo "ok"
