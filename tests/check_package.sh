#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes holds what a user and a developer need, says what
# it depends on, and its tool runs from where the package puts it (the package is unpacked into a
# temporary folder: the test installs nothing on the machine).
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*"; exit 1; }
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/lyrutil_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/lyrutil ./usr/lib/liblyrutil.so.0 ./usr/lib/liblyrwin.so.0 \
  ./usr/lib/pkgconfig/lyrutil.pc ./usr/lib/cmake/LyrUtil/LyrUtilConfig.cmake \
  ./usr/share/man/man1/lyrutil.1 ./usr/share/bash-completion/completions/lyrutil; do
  grep -qxF "$path" <<<"$contents" || fail "no $path"
done
grep -q '/LyrUtil.h$' <<<"$contents" || fail "no LyrUtil.h"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libcairo2 libstdc++6 fonts-dejavu-core; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
soname=$(objdump -p "$build/liblyrutil.so" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = liblyrutil.so.0 ] || fail "SONAME is '$soname'"

root="$work/root"
dpkg-deb -x "$deb" "$root"
# The tool finds the package's libraries beside it, without LD_LIBRARY_PATH.
version=$(env -u LD_LIBRARY_PATH "$root/usr/bin/lyrutil" --version)
[ "$version" = "lyrutil $(dpkg-deb -f "$deb" Version)" ] || fail "--version says '$version'"
env -u LD_LIBRARY_PATH "$root/usr/bin/lyrutil" --prefix "$work/installation" install >/dev/null ||
  fail "the packaged tool cannot make an installation"
# Completion offers the tool's own commands.
words=$(PATH="$root/usr/bin:$PATH" bash -c '
  source "$1"
  COMP_WORDS=(lyrutil audit s); COMP_CWORD=2; _lyrutil; echo "${COMPREPLY[*]}"' _ \
  "$root/usr/share/bash-completion/completions/lyrutil")
[ "$words" = "show stats seal" ] || fail "completing 'lyrutil audit s' gave '$words'"
