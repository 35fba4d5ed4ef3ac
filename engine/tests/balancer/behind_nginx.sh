#!/usr/bin/env bash
# Past one machine, shown on one: a PostgreSQL database, two score servers sharing it, and nginx in
# front of them with the shipped site (engine/packaging/vq-score-server.nginx) as a round-robin load
# balancer, all on loopback. Three copies of the game's own client log in, upload and read tables
# through nginx; one server is killed with SIGKILL in the middle of the run. No upload answered "OK"
# may be missing from its table afterwards, and the other server must keep answering: through nginx
# and on its own port.
#   behind_nginx.sh SERVER_PROGRAM CLIENT_PROGRAM ENGINE_DIR
set -u
server_program=$1 client=$2 engine=$3
work=$(mktemp -d)
pids=() nginx_pid=
cleanup() {
  # nginx's master is asked to stop (it ends its workers; killed outright, it would leave them
  # behind holding the port), everything else is killed.
  [ -n "$nginx_pid" ] && kill -TERM "$nginx_pid" 2>/dev/null
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  wait 2>/dev/null
  [ -d "$work/pg" ] && bash "$engine/tests/server/postgres.sh" stop "$work/pg" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$work"/*.err "$work/nginx/error.log"; do [ -s "$f" ] && { echo "== $f"; tail -n 8 "$f"; }; done
  exit 1
}
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || fail "nginx is not installed (scripts/install-deps.sh --test installs it)"
started=$(date +%s)

# A loopback port nothing listens on.
free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
  return 1
}

chmod 755 "$work"
uri=$(bash "$engine/tests/server/postgres.sh" start "$work/pg" 2> "$work/postgres.err") || fail "PostgreSQL did not start"
echo "PostgreSQL at $uri"

# Two servers on one database. Every client here is one address (127.0.0.1), so the limits per
# address are lifted; they belong to the deployment, not to this test.
ports=()
for n in 1 2; do
  "$server_program" --port 0 --bind 127.0.0.1 --db "$uri" --proxy 127.0.0.1 \
    --hashes-per-minute 1000000 --new-names-per-hour 1000000 > "$work/server$n.out" 2> "$work/server$n.err" &
  pids+=($!)
  for _ in $(seq 1 100); do grep -q "listening on" "$work/server$n.out" 2>/dev/null && break; sleep 0.1; done
  port=$(sed -n 's/.*listening on [^ ]* port \([0-9]*\).*/\1/p' "$work/server$n.out")
  [ -n "$port" ] || fail "server $n did not start"
  ports+=("$port")
done
server1=${pids[0]}

# nginx with the shipped site: its upstream ports and listening address made this run's, its rate
# per address lifted for the same reason as the servers'.
mkdir -p "$work/nginx/tmp" && chmod 777 "$work/nginx/tmp"
front=$(free_port) || fail "no free port"
sed -e "s/127\.0\.0\.1:8081/127.0.0.1:${ports[0]}/" -e "s/127\.0\.0\.1:8082/127.0.0.1:${ports[1]}/" \
    -e "s/^\( *\)listen 80;/\1listen 127.0.0.1:$front;/" -e '/listen \[::\]:80;/d' \
    -e 's/rate=30r\/m/rate=100000r\/s/' "$engine/packaging/vq-score-server.nginx" > "$work/nginx/site.conf"
grep -q "127.0.0.1:${ports[1]}" "$work/nginx/site.conf" || fail "the site's upstream servers were not found"
cat > "$work/nginx/nginx.conf" <<EOF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
  access_log $work/nginx/access.log;
  client_body_temp_path $work/nginx/tmp/body;
  proxy_temp_path $work/nginx/tmp/proxy;
  fastcgi_temp_path $work/nginx/tmp/fastcgi;
  uwsgi_temp_path $work/nginx/tmp/uwsgi;
  scgi_temp_path $work/nginx/tmp/scgi;
  include $work/nginx/site.conf;
}
EOF
"$nginx" -t -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" > "$work/nginx-t.err" 2>&1 ||
  fail "nginx refuses the site: $(cat "$work/nginx-t.err")"
"$nginx" -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" -g 'daemon off;' \
  > "$work/nginx.out" 2> "$work/nginx.err" &
nginx_pid=$!
for _ in $(seq 1 50); do (exec 3<>"/dev/tcp/127.0.0.1/$front") 2>/dev/null && break; sleep 0.1; done
echo "servers on ports ${ports[*]}, nginx on $front"

# The load: three clients for 8 s; the first server is killed once 150 uploads were answered.
clients=()
for id in 1 2 3; do
  "$client" "127.0.0.1:$front" run "$id" 8 "$work/acked" > "$work/client$id.out" 2> "$work/client$id.err" &
  clients+=($!)
  pids+=($!)
done
answered() { if [ -f "$work/acked" ]; then wc -l < "$work/acked"; else echo 0; fi; }
for _ in $(seq 1 80); do
  [ "$(answered)" -ge 150 ] && break
  sleep 0.1
done
before=$(answered)
[ "$before" -ge 150 ] || fail "only $before uploads answered OK before the kill"
kill -9 "$server1"
wait "$server1" 2>/dev/null
grep -q "^stored " "$work/server1.err" || fail "the first server stored nothing before it was killed: no round robin"
echo "killed the server on port ${ports[0]} after $before uploads answered OK"
for c in "${clients[@]}"; do wait "$c" || fail "a client failed"; done
cat "$work"/client?.out
total=$(wc -l < "$work/acked")
after=$((total - before))
echo "$after uploads answered OK after the kill, $total in all"
[ "$after" -ge 150 ] || fail "only $after uploads were answered OK after the kill"

# Nothing answered OK is lost: every table read through nginx, and from the remaining server alone.
"$client" "127.0.0.1:$front" check "$work/acked" || fail "records answered OK are missing (through nginx)"
"$client" "127.0.0.1:${ports[1]}" check "$work/acked" | tail -n 1 | grep -q ": 0 missing" ||
  fail "records answered OK are missing (from the remaining server)"
echo "PASS in $(($(date +%s) - started)) s"
