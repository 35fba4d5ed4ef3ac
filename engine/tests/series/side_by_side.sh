#!/usr/bin/env bash
# Every game of the series installed side by side into one prefix, played by one player against one
# score server: each installed game starts (as user nobody, who cannot write its data), plays one game
# quit from the pause menu to a stored record in its own per-user folder, logs in on its online page
# and offers its local best; the server then holds each game's record in that game's table only.
#   side_by_side.sh BUILD_DIR NAME WEEK PROBE [NAME WEEK PROBE]...
set -u
build=$1
shift
work=$(mktemp -d)
pid= server=
cleanup() {
  for p in $pid $server; do kill -9 "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && tr -d '\r' < "$log" | tail -n 15
  [ -f "$work/server.err" ] && tail -n 5 "$work/server.err"
  exit 1
}
. "$(dirname "$0")/play.sh"

chmod 755 "$work"
cmake --install "$build" --prefix "$work/prefix" > "$work/install.log" 2>&1 || fail "install: $(tail -n 5 "$work/install.log")"
chmod -R a+rX "$work/prefix"
home=$work/home
mkdir -p "$home"

"$work/prefix/bin/vq-score-server" --port 0 --bind 127.0.0.1 --db "$work/scores.db" \
  > "$work/server.out" 2> "$work/server.err" & server=$!
for _ in $(seq 1 50); do grep -q ' port ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\),.*/\1/p' "$work/server.out")
[ -n "$port" ] || fail "the installed score server did not start: $(cat "$work/server.out" "$work/server.err")"

games=() score=4000
while [ $# -ge 3 ]; do
  name=$1 week=$2 probe=$3
  shift 3
  score=$((score + 111))
  games+=("$week:$score")
  folder=$(printf '%03d' "$week")
  own=$home/.local/share/$name
  log=$own/Debug.txt
  [ -d "$work/prefix/share/$name/Common" ] && [ -d "$work/prefix/share/$name/$folder" ] || fail "$name: no data in share/$name"
  desktop=$(grep -l "^Exec=$name\$" "$work/prefix/share/applications/"*.desktop) || fail "$name: no desktop entry starting it"
  id=$(basename "$desktop" .desktop)
  desktop-file-validate "$desktop" || fail "$name: desktop entry"
  appstreamcli validate --no-net "$work/prefix/share/metainfo/$id.metainfo.xml" > "$work/as.txt" 2>&1 \
    || fail "$name: AppStream metadata: $(cat "$work/as.txt")"
  [ -s "$work/prefix/share/icons/hicolor/256x256/apps/$id.png" ] || fail "$name: no icon"
  grep -q "serving week $week," "$work/server.out" || fail "the server does not serve week $week"
  mkdir -p "$own/$folder"
  "$probe" make-login-scores "$own/$folder/nuscores.dat" Series_Player secret42 "$score" || fail "$name: no score file"
  chown -R nobody:nogroup "$home"

  setpriv --reuid=nobody --regid=nogroup --clear-groups env -u XDG_DATA_HOME HOME="$home" DISPLAY="$DISPLAY" \
    "$work/prefix/bin/$name" --online "127.0.0.1:$port" > "$work/$name.out" 2>&1 & pid=$!
  win=$(timeout 30 xdotool search --sync --pid $pid --name "^#$week : " | head -n 1)
  [ -n "$win" ] || fail "$name: no window titled '#$week : ...'"
  wait_log 'Finished Loading' 30 || fail "$name: no end of loading"
  wait_log $'\tPlayer files in '"$own" 1 || fail "$name: the player's files are not in $own"
  play_to_a_record "$name" "$probe" "$own/$folder/nuscores.dat" 2

  # Online: the page, the login, the local best offered.
  sleep 1
  xdotool mousemove --window "$win" 300 150
  press 2
  sleep 0.5
  click 620 591
  wait_log 'Logged in to the score server as Series_Player' 15 || fail "$name: no login"
  wait_log 'local best offered' 15 || fail "$name: the local best was not offered"
  grep -q "^stored $score by Series_Player in week $week table 1" "$work/server.err" || fail "$name: the server got no upload"

  quit_game "$name" "$pid"
  pid=
  echo "$name: played, stored, online"
done
[ ${#games[@]} -gt 0 ] || fail "no game given"

# Each game's record is in its own table, and in no other game's.
for entry in "${games[@]}"; do
  week=${entry%%:*} mine=${entry##*:}
  table=$(curl -s "http://127.0.0.1:$port/enscore/tables/$week/1.txt")
  grep -q "^$mine|Local Hero|" <<<"$table" || fail "week $week's table lacks its record: $table"
  for other in "${games[@]}"; do
    [ "$other" = "$entry" ] && continue
    grep -q "^${other##*:}|" <<<"$table" && fail "week $week's table holds the record of week ${other%%:*}"
  done
done
[ -z "$(find "$work/prefix" -newer "$work/install.log" -type f)" ] || fail "a game wrote into the prefix"
echo "ok: ${#games[@]} games side by side"
