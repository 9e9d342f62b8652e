#!/usr/bin/env bash
# Installs what building and testing LyrUtil needs, from Debian's packages, when it is missing.
set -euo pipefail
packages=(g++ cmake ninja-build binutils libgtest-dev libbenchmark-dev clang libclang-rt-14-dev pkg-config
  libcli11-dev nlohmann-json3-dev netpbm imagemagick libcairo2-dev fonts-dejavu-core poppler-utils tzdata doxygen
  dpkg-dev file bsdutils less libsodium-dev libssl-dev libqrencode-dev libcups2-dev cups-daemon
  libsmbclient-dev samba)
# With "windows": what the Windows build and its Wine run need instead (MinGW-w64 with the posix
# thread model, GoogleTest's sources to build for Windows, 64-bit Wine, and a virtual X server
# for the windows of the dialogs Wine shows).
if [ "${1:-}" = windows ]; then
  packages=(cmake ninja-build binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
    g++-mingw-w64-i686-posix googletest wine64 util-linux xvfb xauth)
fi
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
