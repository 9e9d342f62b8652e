#!/usr/bin/env bash
# The main job: builds LyrUtil and runs the example host, which initialises the library on an
# installation (LYRUTIL_PREFIX, or ~/.lyrutil made on first use) and shows what it found.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLYRUTIL_BUILD_TESTS=OFF
cmake --build build/release
build/release/lyrutil-example
