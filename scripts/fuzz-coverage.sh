#!/usr/bin/env bash
# Line coverage of the fuzzing corpus: builds the libFuzzer targets a second time with clang's
# source-based coverage (build-fuzz-cov/), runs each target once over every input of its corpus
# (build-fuzz/corpus/TARGET) and its seeds (libFuzzer's -runs=0), merges the profiles with
# llvm-profdata and prints llvm-cov's report for the source files the target is there to test.
# Writes build-fuzz/coverage/TARGET.txt (the report for those files; TARGET.all.txt for every file)
# and build-fuzz/coverage/summary.txt (one line a target: name, the share of those files' lines run,
# the files). Called by scripts/fuzz-campaign.sh.
#   scripts/fuzz-coverage.sh [TARGET...]    default: every target that has a corpus
set -uo pipefail
cd "$(dirname "$0")/.."

# The source files each target is there to test; a target not named here is measured over all of
# engine/src/ and engine/server/.
declare -A sources=(
  [setup_file_fuzz]="engine/src/shell/setup_file.cpp"
  [score_file_fuzz]="engine/src/scores/score_file.cpp engine/src/scores/scramble.cpp engine/src/scores/score_record.cpp"
  [score_service_fuzz]="engine/server/score_service.cpp engine/server/score_store.cpp"
  [request_head_fuzz]="engine/server/http_front.cpp"
  [score_protocol_fuzz]="engine/src/online/score_protocol.cpp"
  [http_reply_fuzz]="engine/src/online/http.cpp"
  [wav_reader_fuzz]="engine/src/audio/wav_reader.cpp"
  [ogg_reader_fuzz]="engine/src/audio/ogg_reader.cpp"
  [png_reader_fuzz]="engine/src/render/pixmap_png.cpp engine/src/render/image.cpp"
  [music_file_fuzz]="engine/src/audio/composer.cpp"
  [font_file_fuzz]="engine/src/render/font.cpp"
)

# The LLVM tools of the clang that builds (llvm-profdata-14 beside clang 14), else the unversioned ones.
major=$(clang --version | grep -o 'version [0-9]*' | grep -o '[0-9]*$')
profdata=llvm-profdata-$major cov=llvm-cov-$major
command -v "$profdata" >/dev/null || profdata=llvm-profdata
command -v "$cov" >/dev/null || cov=llvm-cov
for tool in "$profdata" "$cov"; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/install-deps.sh --test installs it"; exit 1; }
done

targets=("$@")
[ ${#targets[@]} -eq 0 ] && for c in build-fuzz/corpus/*_fuzz; do [ -d "$c" ] && targets+=("$(basename "$c")"); done
[ ${#targets[@]} -eq 0 ] && { echo "no corpus in build-fuzz/corpus: run scripts/fuzz-campaign.sh first"; exit 1; }

flags="-fprofile-instr-generate -fcoverage-mapping"
if [ ! -d build-fuzz-cov ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz-cov -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQ_FUZZ=ON \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
fi
cmake --build build-fuzz-cov -j"$(nproc)" --target "${targets[@]}" >/dev/null || exit 1

out=$PWD/build-fuzz/coverage
mkdir -p "$out"
: > "$out/summary.txt"
for name in "${targets[@]}"; do
  profiles=$out/$name.profiles
  rm -rf "$profiles"
  mkdir -p "$profiles"
  inputs=()
  for d in "$PWD/build-fuzz/corpus/$name" "$PWD/engine/tests/fuzz/seeds/$name" "$PWD/build-fuzz/seeds/$name"; do
    [ -d "$d" ] && inputs+=("$d")
  done
  # Each input once; absolute paths, since a target may change its working folder.
  LLVM_PROFILE_FILE="$profiles/%p.profraw" build-fuzz-cov/tests/fuzz/"$name" -runs=0 -timeout=10 -rss_limit_mb=2048 \
    "${inputs[@]}" > "$out/$name.log" 2>&1
  "$profdata" merge -sparse "$profiles"/*.profraw -o "$out/$name.profdata" || { echo "$name: no profile"; continue; }
  # llvm-cov names the files as they were compiled (relative when the compiler ran through ccache
  # with a base folder), so the report is filtered here, by the end of each file's path.
  "$cov" report build-fuzz-cov/tests/fuzz/"$name" -instr-profile="$out/$name.profdata" > "$out/$name.all.txt"
  awk -v wanted="${sources[$name]:-engine/src/ engine/server/}" '
    BEGIN { n = split(wanted, w, " ") }
    NR <= 2 { print; next }
    $1 == "TOTAL" || NF < 10 { next }
    {
      f = "/" $1
      for (i = 1; i <= n; i++) {
        dir = substr(w[i], length(w[i])) == "/"
        if ((dir && index(f, "/" w[i]) > 0) || (!dir && substr(f, length(f) - length(w[i])) == "/" w[i])) {
          print; lines += $8; missed += $9; break
        }
      }
    }
    END { printf "TOTAL lines %d missed %d cover %.2f%%\n", lines, missed, lines ? 100 * (lines - missed) / lines : 0 }
  ' "$out/$name.all.txt" > "$out/$name.txt"
  echo "== $name"
  cat "$out/$name.txt"
  cover=$(awk '$1 == "TOTAL" { print $7 }' "$out/$name.txt")
  echo "$name ${cover:-?} ${sources[$name]:-engine/src/ engine/server/}" >> "$out/summary.txt"
done
echo "== line coverage"
cat "$out/summary.txt"
