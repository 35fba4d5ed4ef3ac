#!/usr/bin/env bash
# The whole player's loop in one run of the real program, with real key presses and clicks: a key of
# the setup file moves the difficulty to Easy, a click starts a game, the player blasts, pauses and
# continues, pauses again and quits, types a name, sees the new record in the table, turns a volume
# down in the settings panel, takes a screenshot, leaves through the farewell page and closes the
# window there. Checked through the files (setup file, log, score file decoded by the game's own
# reader, the PNG) and the screen. With VQ_E2E_SHOTS=DIR the screens are also saved there as PNGs.
#   whole_loop.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 template=$2 probe=$3
source "$(dirname "$0")/lib/common.bash"
setup() { tr -d '\r' < "$work/Files/Setup.ini" 2>/dev/null; }
shot() { [ -n "${VQ_E2E_SHOTS:-}" ] && mkdir -p "$VQ_E2E_SHOTS" && "$probe" shot "$VQ_E2E_SHOTS/$1.png"; true; }

copy_files
# The player's own key for "up" (slot 0 of the first control set): W (87) instead of the Up arrow.
printf '[Controls]\r\nKey=0,87\r\n' > "$work/Files/Setup.ini"
start_program

# The 800 x 600 window shows the 1280 x 960 space at 0.625; the probe reads the whole X screen.
eval "$(xdotool getwindowgeometry --shell "$win")"
wx=$X wy=$Y
rgb() { "$probe" pixel $((wx + $1)) $((wy + $2)); }
blue_at() { read -r r g b < <(rgb "$1" "$2"); [ "$b" -gt 40 ] && [ "$b" -gt $((r + 20)) ] && [ "$b" -gt $((g + 20)) ]; }
light_at() { read -r r g b < <(rgb "$1" "$2"); [ "$r" -gt 120 ] && [ "$g" -gt 120 ] && [ "$b" -gt 120 ]; }
focus_window 400 50
blue_at 20 500 || fail "no title screen"
shot 1-title

press w  # Medium -> Easy by the player's own key
xdotool mousemove --window "$win" 270 300  # the prompt
sleep 0.2
xdotool mousedown 1; sleep 0.15; xdotool mouseup 1
for _ in $(seq 1 50); do blue_at 20 500 || break; sleep 0.1; done
blue_at 20 500 && fail "no game after the click"
sleep 1
# Blasting: the button held over the middle of the screen for a second.
xdotool mousemove --window "$win" 400 300 mousedown 1; sleep 1; xdotool mouseup 1
shot 2-game
grep -q $'^\tScreenshot' "$work/Files/Debug.txt" && fail "a screenshot before F11"

# Pause, then Escape again on "Continue": the game goes on.
press Escape
sleep 0.6
shot 3-pause
press Escape
sleep 1
blue_at 20 500 && fail "the game did not go on after Continue"
[ -s "$work/Files/278/nuscores.dat" ] && [ -n "$("$probe" scores "$work/Files/278/nuscores.dat")" ] && fail "a record before the game ended"
# Pause again, Up to "Quit", Space: "Game Over", then the name entry.
press Escape; sleep 0.5; press Up; press space
for _ in $(seq 1 60); do blue_at 20 500 && break; sleep 0.1; done
blue_at 20 500 || fail "no name entry after quitting the game"
sleep 0.5
shot 4-name
for _ in 1 2 3 4 5 6 7; do press BackSpace; done
for k in shift+k i m; do press "$k"; done
press Return
for _ in $(seq 1 50); do [ -n "$("$probe" scores "$work/Files/278/nuscores.dat" 2>/dev/null)" ] && break; sleep 0.1; done
records=$("$probe" scores "$work/Files/278/nuscores.dat") || fail "the score file does not decode"
[ "$(wc -l <<<"$records")" -eq 1 ] || fail "not one record: $records"
IFS='|' read -r score name badges stamp level mode flags quit <<<"$records"
[ "$name" = "Kim" ] || fail "the record's name is '$name', not 'Kim'"
[ "$mode" = 0 ] || fail "the record is not on Easy ($mode): the player's own key was not taken"
[ "$quit" = 1 ] || fail "the record has no quit mark"

# The record in the table: its details box shows while the pointer is over its column of the graph.
sleep 1.5
xdotool mousemove --window "$win" 785 562
sleep 0.4
light_at 625 187 || fail "no details box for the new record"
shot 5-table
xdotool mousemove --window "$win" 400 50
sleep 0.3

# The settings panel: the master volume dragged to its left end reaches the setup file on Tab; the
# player's key stays.
press Tab
sleep 0.6
shot 6-settings
xdotool mousemove --window "$win" 627 60; sleep 0.2; xdotool mousedown 1; sleep 0.3; xdotool mouseup 1; sleep 0.2
press Tab
sleep 0.5
setup | grep -qx 'Master = 0' || fail "the volume did not reach the setup file: $(setup)"
setup | grep -qx 'Key=0,87' || fail "the player's key was lost from the setup file: $(setup)"

# A screenshot of the title screen beside the setup file.
xdotool mousemove --window "$win" 400 50
press F11
for _ in $(seq 1 100); do grep -q $'\tSaved Screenshot ' "$work/Files/Debug.txt" && break; sleep 0.1; done
grep -q $'\tSaved Screenshot 1' "$work/Files/Debug.txt" || fail "the screenshot was not saved"
png=$(ls "$work/Files/"Vornel\ Quellor\ \(Screenshot_*\).png | head -n 1)
[ "$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')" = "0 0 3 32 0 0 2 88" ] || fail "the screenshot is not 800 x 600"

# The farewell page: Escape shows it, the files are saved and the log closed while it waits, and
# closing the window ends the program.
sleep 1
press Escape
for _ in $(seq 1 50); do grep -q 'Play again, soon!!' "$work/Files/Debug.txt" && break; sleep 0.1; done
sleep 2.5  # past the release wait: the page now waits for a new input
kill -0 $pid 2>/dev/null || fail "the farewell page did not wait"
shot 7-farewell
"$probe" close "$win"
expect_exit_0 50 "after the window was closed"
[ "$(tr -d '\r' < "$work/Files/Debug.txt" | tail -n 1)" = "Play again, soon!!" ] || fail "the log does not end with the farewell"
[ "$("$probe" scores "$work/Files/278/nuscores.dat")" = "$records" ] || fail "the record changed at exit"
echo "ok"
