#!/usr/bin/env bash
# The seed folders of one libFuzzer target, one absolute path a line: engine/tests/fuzz/seeds/TARGET (kept
# by hand: curated inputs and the inputs of past findings) and BUILD/seeds/TARGET, written afresh by
# the target itself when its source has a -write_seeds mode (inputs made by the game's own code, so
# they stay right when the code changes: a target that calls WriteSeedsWhenAsked).
#   scripts/fuzz-seeds.sh BUILD TARGET      BUILD: the fuzzing build folder, e.g. build-fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 name=$2
[ -d "engine/tests/fuzz/seeds/$name" ] && echo "$PWD/engine/tests/fuzz/seeds/$name"
if grep -q 'WriteSeedsWhenAsked' "engine/tests/fuzz/$name.cpp" 2>/dev/null; then
  out=$PWD/$build/seeds/$name
  rm -rf "$out"
  mkdir -p "$out"
  "$build/tests/fuzz/$name" -write_seeds="$out" >/dev/null 2>&1 || { echo "$name could not write its seeds" >&2; exit 1; }
  echo "$out"
fi
exit 0
