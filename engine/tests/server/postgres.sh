#!/usr/bin/env bash
# A PostgreSQL server of the tests' own, in a folder of its own, reachable only through a Unix socket
# in that folder (no TCP port, so it never meets a cluster the machine already runs).
#   postgres.sh start DIR   makes DIR (empty or missing), initdb into DIR/data, starts the server
#                           with its socket in DIR, creates the database vq and prints its URI on
#                           standard output: postgresql:///vq?host=DIR&port=PORT&user=vq
#   postgres.sh stop DIR    stops that server at once (no checkpoint) by the process id in
#                           DIR/data/postmaster.pid and removes DIR
# The programs are Debian's (package postgresql): pg_config's folder, else /usr/lib/postgresql/*/bin.
# initdb refuses root, so run as root the server runs as user nobody, who owns DIR; DIR and the
# folders above it must let nobody through (a folder under /tmp does). Anyone on the machine may
# connect (trust), as user vq: a throwaway server for tests, never for players' data.
#
# For ctest (a fixture every test of the server program requires, so one server serves them all):
#   postgres.sh fixture-start STATE   starts one in a new folder under /tmp and writes "uri URI" to
#                                     the file STATE, or "failed REASON" when it cannot start
#                                     (the tests then fail or skip with that reason)
#   postgres.sh fixture-stop STATE    stops the one STATE names and removes STATE
set -euo pipefail

port=5432  # only names the socket file (DIR/.s.PGSQL.5432): no TCP port is opened

fail() {
  echo "postgres.sh: $*" >&2
  exit 1
}

bindir() {
  local dir
  dir=$(pg_config --bindir 2>/dev/null || true)
  if [ -z "$dir" ] || [ ! -x "$dir/initdb" ]; then
    dir=
    for d in /usr/lib/postgresql/*/bin; do [ -x "$d/initdb" ] && dir=$d; done
  fi
  [ -n "$dir" ] || fail "no PostgreSQL server programs (initdb, pg_ctl): install Debian's postgresql package"
  echo "$dir"
}

# Runs a command as the server's owner: nobody when we are root, else ourselves.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
  else
    "$@"
  fi
}

start() {
  local dir=$1 bin
  bin=$(bindir)
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  [ -z "$(ls -A "$dir")" ] || fail "$dir is not empty"
  # The socket's path must fit a Unix socket address (107 bytes).
  [ ${#dir} -le 80 ] || fail "$dir is too long a path for the server's socket"
  if [ "$(id -u)" -eq 0 ]; then chown nobody:nogroup "$dir"; fi
  chmod 755 "$dir"
  cd "$dir"  # the owner may not be allowed into the caller's folder
  as_owner "$bin/initdb" --pgdata="$dir/data" --username=vq --auth=trust --encoding=UTF8 --no-locale \
    --no-sync > "$dir/initdb.log" 2>&1 || fail "initdb failed: $(tail -n 5 "$dir/initdb.log")"
  # listen_addresses '': the socket only. fsync stays on, as in production.
  as_owner "$bin/pg_ctl" start --pgdata="$dir/data" --wait --timeout=60 --log="$dir/server.log" \
    --options="-c listen_addresses='' -c unix_socket_directories='$dir' -p $port -c max_connections=200" \
    > /dev/null 2>&1 || fail "the server did not start: $(tail -n 5 "$dir/server.log" 2>/dev/null)"
  as_owner "$bin/createdb" --host="$dir" --port=$port --username=vq vq ||
    fail "createdb failed: $(tail -n 5 "$dir/server.log")"
  echo "postgresql:///vq?host=$dir&port=$port&user=vq"
}

stop() {
  local dir=$1 pid
  [ -d "$dir" ] || return 0
  if [ -f "$dir/data/postmaster.pid" ]; then
    pid=$(head -n 1 "$dir/data/postmaster.pid")
    # SIGQUIT: the immediate shutdown, without the final checkpoint (seconds of fsync for data
    # about to be removed).
    if [ -n "$pid" ] && kill -QUIT "$pid" 2>/dev/null; then
      for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    fi
  fi
  # A server process that was still ending may have written a last file: once more.
  rm -rf "$dir" 2>/dev/null || { sleep 0.5; rm -rf "$dir"; }
}

case "${1:-}:${2:-}" in
  start:?*) start "$2" ;;
  stop:?*) stop "$2" ;;
  fixture-start:?*)
    state=$2
    # A server an earlier run left (stopped before its cleanup, or ctest --repeat) goes first.
    "$0" fixture-stop "$state"
    mkdir -p "$(dirname "$state")"
    dir=$(mktemp -d /tmp/vq-postgres.XXXXXX)  # /tmp: user nobody can reach it
    rmdir "$dir"
    if uri=$("$0" start "$dir" 2> "$state.err"); then
      echo "uri $uri" > "$state"
      echo "PostgreSQL started: $uri"
    else
      echo "failed $(tr '\n' ' ' < "$state.err")" > "$state"
      "$0" stop "$dir"
      cat "$state.err"
    fi
    rm -f "$state.err"
    ;;
  fixture-stop:?*)
    state=$2
    if [ -f "$state" ] && read -r kind uri < "$state" && [ "$kind" = uri ]; then
      dir=${uri#*host=}
      dir=${dir%%&*}
      stop "$dir"
    fi
    rm -f "$state"
    ;;
  *)
    echo "usage: postgres.sh start DIR | stop DIR | fixture-start STATE | fixture-stop STATE" >&2
    exit 2
    ;;
esac
