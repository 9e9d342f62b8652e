#!/usr/bin/env bash
# The installed package serves a program outside the repository through find_package(LyrUtil)
# and through pkg-config.
set -euo pipefail
build=$1
source=$2
generator=$3
compiler=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/install" >/dev/null
cmake -S "$source/tests/consumer" -B "$work/consumer" -G "$generator" \
  -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_PREFIX_PATH="$work/install" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/install/lib" "$work/consumer/consumer" "$work/prefix-cmake"
libdir=$(dirname "$(find "$work/install" -name lyrutil.pc)")/..
"$compiler" -std=c++17 "$source/tests/consumer/main.cpp" -o "$work/pc-consumer" \
  $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs lyrutil)
LD_LIBRARY_PATH="$libdir" "$work/pc-consumer" "$work/prefix-pc"
# The installed tool comes with its manual page, which has a section for every command the
# tool offers (each "lyrutil GROUP COMMAND" of its --help).
tool="$work/install/bin/lyrutil"
if [ -x "$tool" ]; then
  man="$work/install/share/man/man1/lyrutil.1"
  test -f "$man" || { echo "no manual page at $man"; exit 1; }
  commands() { "$tool" "$@" --help | awk '/^Subcommands:/ { on = 1; next } on && NF { print $1 }'; }
  for group in $(commands); do
    nested=$(commands "$group")
    for command in ${nested:-""}; do
      heading=".SS \"lyrutil $group${command:+ $command}"
      grep -qF "$heading" "$man" || { echo "the manual page lacks $heading"; exit 1; }
    done
  done
fi
