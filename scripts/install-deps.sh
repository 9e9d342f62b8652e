#!/usr/bin/env bash
# Installs what building and testing LyrUtil needs, from Debian's packages, when it is missing.
set -euo pipefail
packages=(g++ cmake ninja-build binutils libgtest-dev libbenchmark-dev clang libclang-rt-14-dev pkg-config
  libcli11-dev nlohmann-json3-dev netpbm imagemagick libcairo2-dev fonts-dejavu-core poppler-utils)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
