#!/usr/bin/env bash
# The command line: --help and --version answer and exit 0; without a Files/ folder the program says
# so and exits 1 instead of running somewhere random.
#   command_line.sh BINARY FILES_TEMPLATE
set -u
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$bin" --help | grep -q -- '--files DIR' || fail "--help does not describe --files"
"$bin" --version | grep -q '#278 : Vornel Quellor' || fail "--version does not name the game"

cp "$bin" "$work/game"
(cd "$work" && ./game > out.txt 2>&1); status=$?
[ $status -eq 1 ] || fail "without Files/ the exit status is $status, not 1"
grep -q 'no Files/ folder' "$work/out.txt" || fail "no clear message: $(cat "$work/out.txt")"
"$bin" --files "$work/nowhere" > "$work/out2.txt" 2>&1; status=$?
[ $status -eq 1 ] || fail "--files to a missing folder exits $status"
grep -q 'is not a folder' "$work/out2.txt" || fail "no clear message for --files"
echo "ok"
