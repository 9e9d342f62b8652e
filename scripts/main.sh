#!/usr/bin/env bash
# The main job: builds LyrUtil and its command-line tool, then runs `lyrutil demo`, which makes a
# sample installation in a fresh folder, records a working day in its audit trail and reviews,
# exports, prints and verifies it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLYRUTIL_BUILD_TESTS=OFF
cmake --build build/release
build/release/lyrutil demo
