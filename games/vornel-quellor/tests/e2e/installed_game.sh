#!/usr/bin/env bash
# The game installed like a Linux game: `cmake --install` of this build into a prefix gives the
# program, its data under share/vornel-quellor, a desktop entry and AppStream metadata that pass their
# validators, and an icon. Run by a player who cannot write the installed data (user nobody), the game
# finds its data from its own place, keeps its settings, log and scores in that player's
# ~/.local/share/vornel-quellor/, and writes nothing into the installed tree; a moved prefix works
# the same.
#   installed_game.sh BINARY FILES_TEMPLATE PROBE
set -u
bin=$1 probe=$3
build=$(dirname "$bin")
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
chmod 755 "$work"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.txt" 2>&1 || { cat "$work/install.txt"; fail "cmake --install failed"; }
for f in bin/vornel-quellor bin/vq-score-server share/vornel-quellor/Common/icons.png share/vornel-quellor/278/font.png \
         share/vornel-quellor/278/music/theme.ini share/applications/io.github.tolvaner.VornelQuellor.desktop \
         share/metainfo/io.github.tolvaner.VornelQuellor.metainfo.xml \
         share/icons/hicolor/256x256/apps/io.github.tolvaner.VornelQuellor.png; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ -z "$(find "$prefix" -name nuscores.dat -o -name Setup.ini -o -name Debug.txt -o -name crash.dat)" ] \
  || fail "player files were installed"
desktop-file-validate "$prefix/share/applications/io.github.tolvaner.VornelQuellor.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.tolvaner.VornelQuellor.metainfo.xml" > "$work/as.txt" 2>&1 \
  || { cat "$work/as.txt"; fail "AppStream metadata"; }
chmod -R a+rX "$prefix"
touch "$work/installed"

home=$work/home
mkdir -p "$home" && chown nobody:nogroup "$home"
# Runs the installed game as nobody until the title screen, then ends it with SIGTERM.
play() {
  rm -f "$home/.local/share/vornel-quellor/Debug.txt"  # so that "Finished Loading" is this run's
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -u XDG_DATA_HOME HOME="$home" DISPLAY="$DISPLAY" \
    "$1/bin/vornel-quellor" > "$work/out.txt" 2>&1 & pid=$!
  local log=$home/.local/share/vornel-quellor/Debug.txt
  for _ in $(seq 1 300); do grep -q 'Finished Loading' "$log" 2>/dev/null && break; kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  grep -q 'Finished Loading' "$log" 2>/dev/null || { cat "$work/out.txt"; fail "the installed game did not load (log: $log)"; }
  sleep 0.5
  kill -TERM $pid
  for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  wait $pid; local status=$?
  pid=
  [ $status -eq 0 ] || fail "the installed game ended with status $status"
}
play "$prefix"
own=$home/.local/share/vornel-quellor
for f in Setup.ini Debug.txt 278/nuscores.dat; do [ -s "$own/$f" ] || fail "no $f in $own"; done
grep -q $'^\tPlayer files in '"$own" "$own/Debug.txt" || fail "the log does not say where the player's files are"
"$probe" scores "$own/278/nuscores.dat" > /dev/null || fail "the score file does not decode"
[ -z "$(find "$prefix" -newer "$work/installed")" ] || fail "the game wrote into the installed tree: $(find "$prefix" -newer "$work/installed")"

# A relocated prefix: the data is found from the program's new place; the settings carry over.
echo 'Music = 7' >> "$own/Setup.ini"
mv "$prefix" "$work/moved"
play "$work/moved"
grep -q $'^Music = 7\r$' "$own/Setup.ini" || fail "the settings did not carry over"
grep -q $'^\tSFX(' "$own/Debug.txt" || fail "the moved game did not find its sounds"
grep -q $'^Finished Loading' "$own/Debug.txt" || fail "the moved game did not load"
echo "ok"
