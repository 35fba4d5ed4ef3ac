#!/usr/bin/env bash
# The long fuzzing runs: every libFuzzer target of engine/tests/fuzz (built by ./test.sh --fuzz, or
# here) for RUNS executions or MINUTES minutes, whichever comes first, with AddressSanitizer and
# UndefinedBehaviorSanitizer. Prints one line per target: executions, time, findings. A crashing input
# is kept in build-fuzz/findings/TARGET/ and should be copied into engine/tests/fuzz/seeds/TARGET/
# with the fix.
# Each target starts from its seeds (scripts/fuzz-seeds.sh). Afterwards scripts/fuzz-coverage.sh
# measures the line coverage of each target's final corpus over the files it is there to test; the
# summary, one line a target with that figure, is printed again and kept in build-fuzz/campaign/summary.txt.
#   scripts/fuzz-campaign.sh [RUNS [MINUTES [TARGET...]]]    defaults: 10000000 30, every target
#   FUZZ_LANES=2 scripts/fuzz-campaign.sh ...                  two targets at once (one core each)
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --test
runs=${1:-10000000} minutes=${2:-30}
shift $(( $# > 2 ? 2 : $# ))
if [ ! -d build-fuzz ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQ_FUZZ=ON >/dev/null
fi
cmake --build build-fuzz -j"$(nproc)" >/dev/null || exit 1
targets=("$@") summary=()
[ ${#targets[@]} -eq 0 ] && for t in build-fuzz/tests/fuzz/*_fuzz; do targets+=("$(basename "$t")"); done
# One target's run; its summary line goes to build-fuzz/campaign/TARGET.line.
run_target() {
  local name=$1
  # Absolute paths: a target may change its working folder (the music file's reads music/ under it).
  local corpus=$PWD/build-fuzz/corpus/$name findings=$PWD/build-fuzz/findings/$name log=$PWD/build-fuzz/campaign/$name.log
  mkdir -p "$corpus" "$findings" build-fuzz/campaign
  local seeds
  mapfile -t seeds < <(scripts/fuzz-seeds.sh build-fuzz "$name")
  local start status execs found line
  start=$(date +%s)
  build-fuzz/tests/fuzz/"$name" -runs="$runs" -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" > "$log" 2>&1
  status=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  found=$(find "$findings" -type f | wc -l)
  line=$(printf '%-24s %12s executions %6ss  status %d  findings %d' "$name" "${execs:-?}" \
    $(( $(date +%s) - start )) "$status" "$found")
  echo "$line" | tee "build-fuzz/campaign/$name.line"
}

# FUZZ_LANES targets run at once (default 1: one target at a time), each in one process of its own.
lanes=${FUZZ_LANES:-1}
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$lanes" ]; do wait -n; done
  run_target "$name" &
done
wait
for name in "${targets[@]}"; do summary+=("$(cat "build-fuzz/campaign/$name.line" 2>/dev/null)"); done

scripts/fuzz-coverage.sh "${targets[@]}" > build-fuzz/campaign/coverage.log 2>&1 ||
  echo "coverage step failed: see build-fuzz/campaign/coverage.log"
echo "== summary"
for i in "${!targets[@]}"; do
  cover=$(awk -v t="${targets[$i]}" '$1 == t { print $2 " of the lines of " substr($0, index($0, $3)) }' \
    build-fuzz/coverage/summary.txt 2>/dev/null)
  echo "${summary[$i]}  coverage ${cover:-?}"
done | tee build-fuzz/campaign/summary.txt
