#!/usr/bin/env bash
# Builds and runs every test, under an X server of its own. Installs the Debian packages it needs
# when they are missing.
#   ./test.sh              the normal build
#   ./test.sh --sanitize   the AddressSanitizer + UndefinedBehaviorSanitizer build
#   ./test.sh --engine-only  the engine and its tests alone, over the test game (no game of the series)
#   ./test.sh --fuzz SECONDS   each libFuzzer target (engine/tests/fuzz) for SECONDS, built with clang
#   ./test.sh --packages   the Debian packages (scripts/build-debs.sh), installed, played and purged in a
#                          fresh Debian 12 root (as root; it downloads that root and the libraries)
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh --test

if [ "${1:-}" = "--fuzz" ]; then
  seconds=${2:-30}
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQ_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j"$(nproc)"
  for target in build-fuzz/tests/fuzz/*_fuzz; do
    name=$(basename "$target")
    corpus=$PWD/build-fuzz/corpus/$name  # absolute: a target may change its working folder
    mkdir -p "$corpus"
    mapfile -t seeds < <(scripts/fuzz-seeds.sh build-fuzz "$name")
    echo "== $name for $seconds s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
    [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$name found a fault"; exit 1; }
  done
  exit 0
fi

build=build-tests
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
labels=(-LE packages)
if [ "${1:-}" = "--packages" ]; then
  ./scripts/build-debs.sh
  labels=(-L packages)
elif [ "${1:-}" = "--engine-only" ]; then
  build=build-engine
  args+=(-DVQ_ENGINE_ONLY=ON)
elif [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  args=(-DCMAKE_BUILD_TYPE=Debug -DVQ_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" "${args[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

# An X server on a free display (Xvfb picks the number and reports it), stopped by its process id.
tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 1 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { cat "$tmp/xvfb.log"; echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n 1 "$tmp/display")" VQ_REQUIRE_DISPLAY=1
# The score store's cases run against PostgreSQL too (installed above): missing, they fail.
export VQ_REQUIRE_POSTGRES=1

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${labels[@]}"
