#!/usr/bin/env bash
# Builds the game and starts it. Installs the Debian packages it needs when they are missing.
# Arguments are passed to the game (for example --files DIR).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQ_BUILD_TESTS=OFF -DVQ_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/vornel-quellor "$@"
