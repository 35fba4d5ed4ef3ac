#!/usr/bin/env bash
# The command line: --help and --version answer and exit 0; without a Files/ folder the program says
# so and exits 1 instead of running somewhere random; a score server that --online cannot take is
# refused with status 2 before anything starts.
#   command_line.sh BINARY FILES_TEMPLATE
set -u
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$bin" --help | grep -q -- '--files DIR' || fail "--help does not describe --files"
"$bin" --version | grep -q '#278 : Vornel Quellor' || fail "--version does not name the game"
"$bin" --help | grep -q -- '--online HOST\[:PORT\]' || fail "--help does not describe --online"

for bad in "" "scores.example:" ":8080" "scores.example:0" "scores.example:65536" "scores.example:80x" "::1" "[::1"; do
  "$bin" --files "$work/nowhere" --online "$bad" > "$work/bad.txt" 2>&1; status=$?
  [ $status -eq 2 ] || fail "--online '$bad' exits $status, not 2"
  grep -qF "not '$bad'" "$work/bad.txt" || fail "no clear message for --online '$bad': $(cat "$work/bad.txt")"
done
"$bin" --online > "$work/bad.txt" 2>&1; status=$?
[ $status -eq 2 ] || fail "--online without its value exits $status, not 2"

cp "$bin" "$work/game"
(cd "$work" && ./game > out.txt 2>&1); status=$?
[ $status -eq 1 ] || fail "without Files/ the exit status is $status, not 1"
grep -q 'no Files/ folder' "$work/out.txt" || fail "no clear message: $(cat "$work/out.txt")"
"$bin" --files "$work/nowhere" > "$work/out2.txt" 2>&1; status=$?
[ $status -eq 1 ] || fail "--files to a missing folder exits $status"
grep -q 'is not a folder' "$work/out2.txt" || fail "no clear message for --files"
echo "ok"
