#!/usr/bin/env bash
# The frame end's services with the real program, driven as a player would: Tab opens the settings
# panel over the title screen, a volume dragged to its left end reaches "Setup.ini" when Tab closes
# the panel; in a game F11 writes an 800 x 600 PNG beside "Setup.ini", Tab opens the panel over the
# game, Escape pauses it and Up and Space choose Quit, after which (and the name entry) the record
# carries the quit mark;
# Escape on the title shows the farewell page, which waits for a key.
#   pause_settings_screenshot.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 template=$2 probe=$3
source "$(dirname "$0")/lib/common.bash"
setup() { tr -d '\r' < "$work/Files/Setup.ini" 2>/dev/null; }
# Holds the left button at one place of the 800 x 600 window for a few frames.
drag() { xdotool mousemove --window "$win" "$1" "$2"; sleep 0.2; xdotool mousedown 1; sleep 0.3; xdotool mouseup 1; sleep 0.2; }

copy_files
start_program
focus_window 400 400

# The panel over the title: Tab writes the setup file; the master volume's track starts at virtual
# x 1000 (window x 625), so the left end gives 0; Tab again writes it.
press Tab
[ -f "$work/Files/Setup.ini" ] || fail "Tab wrote no setup file"
sleep 0.5
drag 627 60
press Tab
setup | grep -qx 'Master = 0' || fail "the master volume did not reach the setup file: $(setup)"

# A game: the prompt's centre (432, 480) is at (270, 300).
xdotool mousemove --window "$win" 270 300
sleep 0.2
xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
sleep 2
press F11
for _ in $(seq 1 300); do grep -q $'\tSaved Screenshot ' "$work/Files/Debug.txt" && break; sleep 0.1; done
shot=$(ls "$work/Files/"Vornel\ Quellor\ \(Screenshot_*\).png 2>/dev/null | head -n 1)
[ -n "$shot" ] || fail "F11 wrote no screenshot beside Setup.ini: $(ls "$work/Files")"
[ "$(od -An -tx1 -N8 "$shot" | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "the screenshot is no PNG"
[ "$(od -An -tu1 -j16 -N8 "$shot" | tr -s ' ' | sed 's/^ //')" = "0 0 3 32 0 0 2 88" ] || fail "the screenshot is not 800 x 600"
grep -q $'\tSaved Screenshot 1' "$work/Files/Debug.txt" || fail "the log does not confirm the screenshot"

# The panel over the game: the sounds' volume dragged to the right end reaches the file.
press Tab
sleep 0.5
drag 685 93
press Tab
setup | grep -qx 'Sound = 100' || fail "the sound volume did not reach the setup file: $(setup)"

# Escape pauses; Up and Space choose Quit; "Game Over", the name entry (Enter takes the offered name),
# then the record.
xdotool mousemove --window "$win" 400 500
press Escape
sleep 0.5
press Up
press space
sleep 2.5
press Return
for _ in $(seq 1 100); do [ -s "$work/Files/278/nuscores.dat" ] && break; sleep 0.1; done
records=$("$probe" scores "$work/Files/278/nuscores.dat")
[ "$(wc -l <<<"$records")" -eq 1 ] || fail "not one record after the quit: $records"
IFS='|' read -r _ _ _ _ _ _ _ quit <<<"$records"
[ "$quit" = 1 ] || fail "the record has no quit mark: $records"

# Escape on the title: the farewell page waits for a key.
sleep 1
press Escape
for _ in $(seq 1 100); do grep -q 'Play again, soon!!' "$work/Files/Debug.txt" && break; sleep 0.1; done
sleep 1
kill -0 $pid 2>/dev/null || fail "the farewell page did not wait"
press space
expect_exit_0 100 "after a key on the farewell page"
echo "ok"
