#!/usr/bin/env bash
# The Debian packages in a fresh minimal Debian 12 root (debootstrap --variant=minbase, kept as a
# tar in CACHE_DIR after the first run): apt-get installs them with every library they need; each
# game, started by an ordinary user with its desktop entry's Exec line, loads, keeps its files in
# ~/.local/share/NAME/, plays to a stored record and writes nothing under /usr; the server, started
# by its unit's ExecStart line as a user of its own (there is no systemd in the root), answers a
# table request; apt-get purge then leaves no file of the packages under /usr or /etc. Runs as root
# (chroot), on the X server of $DISPLAY (its socket is shared with the root).
#   debian_root.sh DEB_DIR CACHE_DIR NAME WEEK PROBE [NAME WEEK PROBE]...
set -u
debs=$1 cache=$2
shift 2
[ "$(id -u)" -eq 0 ] || { echo "not root: skipped (chroot needs root)"; exit 0; }
ls "$debs"/vq-score-server_*.deb > /dev/null 2>&1 || { echo "FAIL: no packages in $debs (scripts/build-debs.sh)"; exit 1; }
started=$(date +%s)
work=$(mktemp -d "${TMPDIR:-/var/tmp}/vq-debian-root.XXXXXX")
root=$work/root
mounted=() pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null; done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && tr -d '\r' < "$log" | tail -n 15
  exit 1
}
. "$(dirname "$0")/../series/play.sh"
in_root() { chroot "$root" "$@"; }
seconds() { echo $(($(date +%s) - started)); }

# The root: debootstrap once, then a fresh copy of it each run.
mkdir -p "$cache"
base=$cache/bookworm-minbase.tar
if [ ! -s "$base" ]; then
  debootstrap --variant=minbase bookworm "$work/base" http://deb.debian.org/debian > "$work/debootstrap.log" 2>&1 ||
    fail "debootstrap: $(tail -n 5 "$work/debootstrap.log")"
  tar -C "$work/base" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf --one-file-system "$work/base"
  echo "debootstrap made the root in $(seconds) s"
fi
mkdir -p "$root" && tar -C "$root" -xf "$base" || fail "cannot unpack $base"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service starts when it is installed (the root has no init; nginx, which the server recommends,
# would take this machine's port 80): the usual policy of a chroot.
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d" && chmod 755 "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc" && mounted+=("$root/proc") || fail "cannot mount proc"
mount --bind /dev "$root/dev" && mounted+=("$root/dev") || fail "cannot mount /dev"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" && mounted+=("$root/tmp/.X11-unix") || fail "cannot share the X socket"
in_root find /usr /etc -xdev | sort > "$work/before.txt"

# Installed with apt, as a player would: every library they need comes from Debian.
mkdir -p "$root/tmp/debs" && cp "$debs"/*.deb "$root/tmp/debs/"
packages=() files=()
for deb in "$root"/tmp/debs/*.deb; do
  packages+=("$(dpkg-deb -f "$deb" Package)")
  files+=("/tmp/debs/$(basename "$deb")")
done
install_start=$(date +%s)
{ in_root apt-get update -q && DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -q "${files[@]}"; } \
  > "$work/apt.log" 2>&1 || fail "apt-get install: $(tail -n 8 "$work/apt.log")"
echo "apt-get installed ${packages[*]} and $(grep -c '^Setting up' "$work/apt.log") packages in all in $(($(date +%s) - install_start)) s"
for p in "${packages[@]}"; do in_root dpkg -L "$p" > "$work/$p.files" || fail "$p is not installed"; done

# Each game as an ordinary user, from its menu entry.
in_root useradd -m -s /bin/sh player || fail "no user"
while [ $# -ge 3 ]; do
  name=$1 week=$2 probe=$3
  shift 3
  folder=$(printf '%03d' "$week")
  desktop=$(grep '\.desktop$' "$work/$name.files" | head -n 1)
  [ -n "$desktop" ] || fail "$name: no desktop entry in its package"
  exec_line=$(sed -n 's/^Exec=//p' "$root$desktop")
  [ -n "$exec_line" ] || fail "$name: no Exec line in $desktop"
  own=$root/home/player/.local/share/$name
  log=$own/Debug.txt
  touch "$work/before-$name"
  sleep 1
  chroot --userspec=player:player "$root" env -i HOME=/home/player PATH=/usr/local/bin:/usr/bin:/bin:/usr/games \
    DISPLAY="$DISPLAY" sh -c "exec $exec_line" > "$work/$name.out" 2>&1 &
  pid=$!
  pids+=("$pid")
  win=$(timeout 30 xdotool search --sync --pid "$pid" --name "^#$week : " | head -n 1)
  [ -n "$win" ] || fail "$name: no window titled '#$week : ...' ($(tail -n 3 "$work/$name.out"))"
  wait_log 'Finished Loading' 60 || fail "$name: no end of loading"
  wait_log $'\tPlayer files in /home/player/.local/share/'"$name" 1 || fail "$name: the player's files are not in ~/.local/share/$name"
  play_to_a_record "$name" "$probe" "$own/$folder/nuscores.dat" 1
  quit_game "$name" "$pid"
  written=$(find "$root/usr" "$root/etc" -xdev -newer "$work/before-$name" -type f)
  [ -z "$written" ] || fail "$name wrote under /usr or /etc: $written"
  echo "$name: started by '$exec_line', played to a record in ~/.local/share/$name, nothing written under /usr"
done

# The server: its unit's ExecStart line, as a user of its own, its state in /var/lib/vq-score-server.
unit=$root/lib/systemd/system/vq-score-server@.service
line=$(sed -n 's/^ExecStart=//p' "$unit")
[ -n "$line" ] || fail "no ExecStart line in the server's unit"
port=
for _ in $(seq 1 50); do
  candidate=$((20000 + RANDOM % 30000))
  (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null || { port=$candidate; break; }
done
[ -n "$port" ] || fail "no free port"
line=${line//%i/$port}
line=${line//'${VQ_SCORE_DB}'/\/var\/lib\/vq-score-server\/scores.db}
line=${line//'$VQ_SCORE_OPTIONS'/}
in_root useradd --system --no-create-home --home-dir /var/lib/vq-score-server vq-score-server || fail "no server user"
in_root install -d -m 0700 -o vq-score-server -g vq-score-server /var/lib/vq-score-server
# shellcheck disable=SC2086  # the line is split into words, as systemd splits it
chroot --userspec=vq-score-server:vq-score-server "$root" $line > "$work/server.out" 2> "$work/server.err" &
server=$!
pids+=("$server")
for _ in $(seq 1 50); do grep -q "listening on" "$work/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q "listening on 127.0.0.1 port $port" "$work/server.out" || fail "the server did not start: $(cat "$work/server.err")"
reply=$(curl -s -w '\n%{http_code}' "http://127.0.0.1:$port/enscore/tables/${week:-1}/1.txt")
grep -q "<HEAD>" <<<"$reply" || fail "the server's table request got: $reply"
kill -TERM "$server"
wait "$server" || fail "the server ended with status $? on SIGTERM"
[ -s "$root/var/lib/vq-score-server/scores.db" ] || fail "the server kept no store in /var/lib/vq-score-server"
echo "vq-score-server: started by its unit's ExecStart line as its own user, answered a table request"

# Purged: no file of the packages is left under /usr or /etc.
DEBIAN_FRONTEND=noninteractive in_root apt-get purge -y -q "${packages[@]}" > "$work/purge.log" 2>&1 ||
  fail "apt-get purge: $(tail -n 5 "$work/purge.log")"
left=$(cat "$work"/*.files | sort -u | while read -r f; do
  [ -d "$root$f" ] && continue  # a folder (or /lib, a link to one) others share
  { [ -f "$root$f" ] || [ -L "$root$f" ]; } && echo "$f"
done)
[ -z "$left" ] || fail "files left after the purge: $left"
names=$(IFS='|'; echo "${packages[*]}")
extra=$(in_root find /usr /etc -xdev | sort | comm -13 "$work/before.txt" - | grep -E "$names" || true)
[ -z "$extra" ] || fail "left after the purge: $extra"
echo "purged: nothing of ${packages[*]} is left under /usr or /etc"
echo "PASS in $(seconds) s"
