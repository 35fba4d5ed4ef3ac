#!/usr/bin/env bash
# The composer's command of the real program: --wav renders the game's pattern file without a display,
# the same file for the same seed and another for another seed; without --wav it plays in a small
# window until a key is pressed, or for --seconds.
#   compose_music.sh BINARY FILES_TEMPLATE
set -u
bin=$1 template=$2
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$bin" --help | grep -q -- '--compose NAME SEED' || fail "--help does not describe --compose"

# Rendering needs neither a display nor an audio device.
start=$(date +%s)
for seed in 238 238 239; do
  env -u DISPLAY "$bin" --files "$template" --compose theme $seed --wav "$work/$seed-$RANDOM.wav" \
    --seconds 20 > "$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "render of seed $seed failed"; }
done
[ $(( $(date +%s) - start )) -lt 30 ] || fail "three 20 s renders took more than 30 s"
files=("$work"/238-*.wav)
[ ${#files[@]} -eq 2 ] || fail "expected two renders of seed 238"
[ "$(stat -c %s "${files[0]}")" -eq $((44 + 20 * 44100 * 4)) ] || fail "a 20 s render is $(stat -c %s "${files[0]}") bytes"
cmp -s "${files[0]}" "${files[1]}" || fail "the same seed rendered two different files"
cmp -s "${files[0]}" "$work"/239-*.wav && fail "seeds 238 and 239 rendered the same file"

"$bin" --files "$template" --compose nosuch 1 --wav "$work/x.wav" > "$work/out.txt" 2>&1; status=$?
[ $status -eq 1 ] || fail "a missing music file exits $status"
grep -q 'no music file' "$work/out.txt" || fail "no clear message: $(cat "$work/out.txt")"
[ -e "$work/x.wav" ] && fail "a failed render left a file"
"$bin" --compose theme 1 --seconds 0 > "$work/out.txt" 2>&1; status=$?
[ $status -eq 2 ] || fail "a bad argument exits $status"

# Playing: a window of its own, ended by a key.
"$bin" --files "$template" --compose theme 238 > "$work/play.txt" 2>&1 & pid=$!
win=$(timeout 20 xdotool search --sync --pid $pid --name 'music/theme.ini' | head -n 1)
[ -n "$win" ] || fail "no window"
sleep 1
xdotool mousemove --window "$win" 100 100
xdotool windowfocus --sync "$win"
xdotool key space
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "still playing 5 s after a key"
wait $pid; status=$?; pid=
[ $status -eq 0 ] || { cat "$work/play.txt"; fail "playing exits $status"; }
grep -q 'Playing music/theme.ini, seed 238' "$work/play.txt" || fail "no line saying what plays: $(cat "$work/play.txt")"

# And for a given time.
timeout 20 "$bin" --files "$template" --compose theme 5 --seconds 2 > "$work/play.txt" 2>&1 \
  || { cat "$work/play.txt"; fail "--seconds 2 did not end by itself"; }
echo "ok"
