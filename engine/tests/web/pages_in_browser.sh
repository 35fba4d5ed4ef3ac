#!/usr/bin/env bash
# The score server's web pages in a real browser: a server filled by the game's own client (with
# hostile player names among the records) is read by headless Chromium; the rendered DOM must show
# the ranks, names and scores, each hostile name as its characters, and no script element; a
# screenshot at a phone's width and one at a desktop's are kept for a look.
#   pages_in_browser.sh SERVER_PROGRAM CLIENT_PROGRAM [SHOT_DIR]
set -u
server_program=$1 client=$2 shots=${3:-}
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -s "$work/server.err" ] && tail -n 5 "$work/server.err"
  exit 1
}
browser=$(command -v chromium || command -v chromium-browser) ||
  fail "Chromium is not installed (scripts/install-deps.sh --test installs it)"
# As root the browser's own sandbox cannot start; the pages it loads are the test's.
flags=(--headless=new --disable-gpu --no-first-run --hide-scrollbars --user-data-dir="$work/profile")
[ "$(id -u)" -eq 0 ] && flags+=(--no-sandbox)

"$server_program" --port 0 --bind 127.0.0.1 --db "$work/scores.db" > "$work/server.out" 2> "$work/server.err" &
server=$!
for _ in $(seq 1 50); do grep -q "listening on" "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.*listening on [^ ]* port \([0-9]*\).*/\1/p' "$work/server.out")
[ -n "$port" ] || fail "the server did not start"
site=http://127.0.0.1:$port

# The records, uploaded by the game's client: NAME SCORE DIFFICULTY QUIT.
hostile1='<script>alert(1)</script>'
hostile2='"><img src=x onerror=alert(2)>'
record() { "$client" "127.0.0.1:$port" record "$1" secret42 "$2" "$3" "$4" "$5" || fail "upload of $2"; }
record Web_Ann "$hostile1" 9100 0 0
record Web_Bob "$hostile2" 8200 0 1
record Web_Cy "Cy & Co" 700 0 0
record Web_Ann "Ann" 5000 2 0

dom() {  # URL OUT: the DOM after the page has loaded
  timeout 60 "$browser" "${flags[@]}" --dump-dom "$1" > "$2" 2> "$work/browser.err" ||
    fail "Chromium could not load $1: $(tail -n 3 "$work/browser.err")"
}
dom "$site/" "$work/index.html"
grep -q 'href="/games/900/"' "$work/index.html" || fail "the index does not link the test game: $(cat "$work/index.html")"

dom "$site/games/900/" "$work/game.html"
page=$(tr -d '\n' < "$work/game.html")
# The easy table in rank order, each name exactly as its characters (the DOM serialises text with
# the markup characters escaped), then the hard one.
row() { echo "<tr><td class=\"rank\">$1</td><td class=\"name\">$2</td><td class=\"score\">$3</td>"; }
for expected in "$(row 1 '&lt;script&gt;alert(1)&lt;/script&gt;' 9100)" \
                "$(row 2 '"&gt;&lt;img src=x onerror=alert(2)&gt;' 8200)" \
                "$(row 3 'Cy &amp; Co' 700)" \
                "$(row 1 Ann 5000)"; do
  grep -qF -- "$expected" <<<"$page" || fail "the page lacks: $expected"
done
grep -q '<h2>Gentle</h2>.*<h2>Fierce</h2>' <<<"$page" || fail "the tables are not by difficulty"
grep -qi '<script' <<<"$page" && fail "the page's DOM holds a script element"
grep -qi '<img' <<<"$page" && fail "the page's DOM holds an image element"
# The policy the browser was given.
curl -sI "$site/games/900/" | grep -qi "^content-security-policy: default-src 'none'" || fail "no policy without script"

if [ -n "$shots" ]; then
  mkdir -p "$shots"
  for size in 390,844 1280,900; do
    timeout 60 "$browser" "${flags[@]}" --window-size="$size" --screenshot="$shots/game-${size%,*}.png" \
      "$site/games/900/" > /dev/null 2>&1 || fail "no screenshot at $size"
  done
  echo "screenshots in $shots"
fi
echo "PASS: the index and the game's page read in Chromium, hostile names shown as text"
