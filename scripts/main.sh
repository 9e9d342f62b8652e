#!/usr/bin/env bash
# The main job: builds LyrUtil and its command-line tool, packs them as a Debian package, installs
# it (apt-get, as root or through sudo), then runs the installed `lyrutil demo`, which makes a
# sample installation in a fresh folder, records a working day in its audit trail and reviews,
# exports, prints and verifies it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLYRUTIL_BUILD_TESTS=OFF
cmake --build build/release
rm -f build/release/lyrutil_*.deb
(cd build/release && cpack -G DEB)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall "$PWD"/build/release/lyrutil_*.deb
lyrutil demo
